#pragma once
// The enumerations whose member names travel in the JSON texts, spelled exactly as written,
// and the value-kind groups the parameter rules refer to.

#include <array>
#include <string>
#include <string_view>

#include "rest/wire/text_tools.h"

namespace livrexa {

enum class TTypeObject : int { toDataset, toParam, toMassive, toVariable, toObject };
enum class TObjectDirection : int { odIN, odOUT, odINOUT };
enum class TJsonMode : int { jmDataware, jmPureJSON, jmUndefined };
enum class TEncodeSelect : int { esASCII, esUtf8, esANSI };
enum class TDatasetType : int { dtReflection, dtFull, dtDiff };
enum class TDWParamExpType : int { tdwpxt_All, tdwpxt_IN, tdwpxt_OUT, tdwpxt_INOUT };

// The 52 value kinds, in the order of the standard dataset field types.
enum class TObjectValue : int {
  ovUnknown,
  ovString,
  ovSmallint,
  ovInteger,
  ovWord,
  ovBoolean,
  ovFloat,
  ovCurrency,
  ovBCD,
  ovDate,
  ovTime,
  ovDateTime,
  ovBytes,
  ovVarBytes,
  ovAutoInc,
  ovBlob,
  ovMemo,
  ovGraphic,
  ovFmtMemo,
  ovParadoxOle,
  ovDBaseOle,
  ovTypedBinary,
  ovCursor,
  ovFixedChar,
  ovWideString,
  ovLargeint,
  ovADT,
  ovArray,
  ovReference,
  ovDataSet,
  ovOraBlob,
  ovOraClob,
  ovVariant,
  ovInterface,
  ovIDispatch,
  ovGuid,
  ovTimeStamp,
  ovFMTBcd,
  ovFixedWideChar,
  ovWideMemo,
  ovOraTimeStamp,
  ovOraInterval,
  ovLongWord,
  ovShortint,
  ovByte,
  ovExtended,
  ovConnection,
  ovParams,
  ovStream,
  ovTimeStampOffset,
  ovObject,
  ovSingle
};
inline constexpr int kObjectValueCount = 52;

// Names as written. Values outside an enumeration are written as the rules say:
// a direction as "odINOUT", a type object as "toObject", a kind as "ovUnknown".
std::string_view TypeObjectName(TTypeObject v);
std::string_view DirectionName(TObjectDirection v);
std::string_view ObjectValueName(TObjectValue v);
std::string_view JsonModeName(TJsonMode v);

// Names read back, letter case ignored, with the fallbacks of the readers:
// an unknown type object reads toObject, a direction anything but odINOUT/odIN reads odOUT,
// "Encoded" is true only for "true", an unknown kind reads ovSingle.
TTypeObject ReadTypeObject(std::string_view name);
TObjectDirection ReadDirection(std::string_view name);
bool ReadEncoded(std::string_view text);
TObjectValue ReadObjectValue(std::string_view name);

// ovBlob, ovGraphic, ovOraBlob, ovOraClob, ovStream.
bool IsBinaryKind(TObjectValue v);
// The binary kinds plus ovBytes and ovVarBytes.
bool IsBinaryKindWithBytes(TObjectValue v);
// ovDate, ovTime, ovDateTime, ovTimeStamp.
bool IsDateKind(TObjectValue v);
// The date kinds plus ovOraTimeStamp and ovTimeStampOffset (storing and typed access).
bool IsDateKindExtended(TObjectValue v);
// ovFloat, ovCurrency, ovBCD, ovFMTBcd, ovExtended.
bool IsFloatKind(TObjectValue v);
// ovString, ovMemo, ovFmtMemo, ovFixedChar, ovWideString, ovFixedWideChar, ovWideMemo.
bool IsTextKind(TObjectValue v);
// ovSmallint, ovInteger, ovWord, ovAutoInc, ovLargeint, ovOraInterval, ovLongWord, ovShortint, ovSingle.
bool IsIntegerKind(TObjectValue v);

}  // namespace livrexa
