#pragma once
// A growable in-memory byte stream with a position, and the binary form of a parameter list:
// a 16-byte header (the integer 6, the record count, the byte length of the records) followed by
// one record per parameter. All integers are little-endian; texts are Windows-1252 bytes.
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

#include <cstdint>
#include <string>
#include <string_view>

#include "rest/wire/wire_consts.h"

namespace livrexa {

class TDWParams;

class TMemoryStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::string bytes) : data_(std::move(bytes)) {}

  size_t Size() const { return data_.size(); }
  size_t Position() const { return pos_; }
  void SetPosition(size_t pos) { pos_ = pos; }
  size_t Remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  const std::string& Bytes() const { return data_; }
  void Clear();

  // Writing past the end grows the stream (a gap is filled with zeros).
  void Write(const void* buffer, size_t count);
  void WriteInt16(int16_t v) { WriteLE(static_cast<uint64_t>(static_cast<uint16_t>(v)), 2); }
  void WriteInt32(int32_t v) { WriteLE(static_cast<uint64_t>(static_cast<uint32_t>(v)), 4); }
  void WriteInt64(int64_t v) { WriteLE(static_cast<uint64_t>(v), 8); }
  void WriteByte(uint8_t v) { Write(&v, 1); }

  // Reading beyond the end fails with "Stream read error" and leaves the position unchanged.
  void Read(void* buffer, size_t count);
  std::string ReadBytes(size_t count);
  int16_t ReadInt16() { return static_cast<int16_t>(ReadLE(2)); }
  int32_t ReadInt32() { return static_cast<int32_t>(ReadLE(4)); }
  int64_t ReadInt64() { return static_cast<int64_t>(ReadLE(8)); }
  uint8_t ReadByte();

 private:
  void WriteLE(uint64_t v, int bytes);
  uint64_t ReadLE(int bytes);

  std::string data_;
  size_t pos_ = 0;
};

// The binary form of a list: written from the parameters the selection admits, and read
// into a list (see TDWParams::SaveToStream and LoadFromStream).
void WriteParamsToStream(const TDWParams& params, TMemoryStream& stream, TDWParamExpType output);
void ReadParamsFromStream(TDWParams& params, TMemoryStream& stream, TDWParamExpType input);

}  // namespace livrexa
