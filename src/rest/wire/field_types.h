#pragma once
// The 52 standard dataset field types, in the same ordinal order as the value kinds.

#include <string_view>

namespace livrexa {

enum class TFieldType : int {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
  ftTimeStamp,
  ftFMTBcd,
  ftFixedWideChar,
  ftWideMemo,
  ftOraTimeStamp,
  ftOraInterval,
  ftLongWord,
  ftShortint,
  ftByte,
  ftExtended,
  ftConnection,
  ftParams,
  ftStream,
  ftTimeStampOffset,
  ftObject,
  ftSingle
};
inline constexpr int kFieldTypeCount = 52;

// The type's own name ("ftString"); an ordinal outside the enumeration gives "ftUnknown".
std::string_view FieldTypeName(TFieldType t);
// The name read back, letter case ignored; a name it does not know reads as ftString.
// (The dataset reader's own exceptions, such as "ftBCD", are applied by the reader.)
TFieldType ReadFieldTypeName(std::string_view name);

// How a field's value is held in a row: texts and raw bytes as strings, integers as 64-bit,
// floats, decimals, dates and times as doubles (dates as days since 1899-12-30).
enum class TValueClass { Text, Bytes, Integer, Boolean, Float, DateTime, Other };
TValueClass ValueClassOf(TFieldType t);

}  // namespace livrexa
