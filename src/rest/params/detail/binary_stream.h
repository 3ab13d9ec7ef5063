#pragma once
// The binary form of a parameter list: a 16-byte header (the integer 6, the record count, the byte
// length of the records) followed by one record per parameter. All integers are little-endian;
// texts are Windows-1252 bytes.
//
// Record: name length (8) and name, direction (4), encoded flag (2: 0/1 then 0), JSON mode (4),
// type object (4), kind (4), then the value by kind:
//   ovString, ovFixedChar, ovWideString, ovObject   8-byte length + text (decoded text, AsString)
//   ovSmallint, ovInteger, ovAutoInc, ovLongWord,
//   ovShortint, ovWord                              4-byte signed integer
//   ovBoolean                                       2 bytes: 0/1 then 0
//   ovByte                                          1 byte 0/1 (read and written as a boolean)
//   ovLargeint                                      8-byte signed integer
//   ovDate, ovTime, ovDateTime, ovTimeStamp,
//   ovTimeStampOffset                               8-byte seconds since 1899-12-30 (0 = null)
//   ovBytes, ovBlob, ovStream                       8-byte count + raw bytes
//   ovFloat, ovCurrency, ovBCD, ovFMTBcd,
//   ovExtended, ovSingle                            8-byte length + the number in wire text
//                                                   ("12D5"; length 0 = null)
//   every other kind                                nothing
// The float kinds and ovSingle keep their kind and their wire text on reading; ovWord is read
// back as a word. The other kinds are stored through the typed accessors.

#include "rest/params/dw_params.h"
#include "rest/params/memory_stream.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

// The binary form of a list: written from the parameters the selection admits, and read
// into a list (see TDWParams::SaveToStream and LoadFromStream).
void WriteParamsToStream(const TDWParams& params, TMemoryStream& stream, TDWParamExpType output);
void ReadParamsFromStream(TDWParams& params, TMemoryStream& stream, TDWParamExpType input);

}  // namespace livrexa
