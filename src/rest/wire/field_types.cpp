#include "rest/wire/field_types.h"

#include <array>

#include "rest/wire/wire_consts.h"

namespace livrexa {
namespace {

constexpr std::array<std::string_view, kFieldTypeCount> kNames = {
    "ftUnknown",      "ftString",      "ftSmallint", "ftInteger",       "ftWord",
    "ftBoolean",      "ftFloat",       "ftCurrency", "ftBCD",           "ftDate",
    "ftTime",         "ftDateTime",    "ftBytes",    "ftVarBytes",      "ftAutoInc",
    "ftBlob",         "ftMemo",        "ftGraphic",  "ftFmtMemo",       "ftParadoxOle",
    "ftDBaseOle",     "ftTypedBinary", "ftCursor",   "ftFixedChar",     "ftWideString",
    "ftLargeint",     "ftADT",         "ftArray",    "ftReference",     "ftDataSet",
    "ftOraBlob",      "ftOraClob",     "ftVariant",  "ftInterface",     "ftIDispatch",
    "ftGuid",         "ftTimeStamp",   "ftFMTBcd",   "ftFixedWideChar", "ftWideMemo",
    "ftOraTimeStamp", "ftOraInterval", "ftLongWord", "ftShortint",      "ftByte",
    "ftExtended",     "ftConnection",  "ftParams",   "ftStream",        "ftTimeStampOffset",
    "ftObject",       "ftSingle"};

}  // namespace

std::string_view FieldTypeName(TFieldType t) {
  const auto i = static_cast<int>(t);
  return (i >= 0 && i < kFieldTypeCount) ? kNames[i] : "ftUnknown";
}

TFieldType ReadFieldTypeName(std::string_view name) {
  for (int i = 0; i < kFieldTypeCount; ++i)
    if (SameText(name, kNames[i])) return static_cast<TFieldType>(i);
  return TFieldType::ftString;
}

TValueClass ValueClassOf(TFieldType t) {
  using enum TFieldType;
  switch (t) {
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftFixedChar:
    case ftWideString:
    case ftWideMemo:
    case ftFixedWideChar:
    case ftGuid:
      return TValueClass::Text;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
    case ftOraClob:
    case ftStream:
      return TValueClass::Bytes;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftLongWord:
    case ftShortint:
    case ftByte:
      return TValueClass::Integer;
    case ftBoolean:
      return TValueClass::Boolean;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftExtended:
    case ftSingle:
      return TValueClass::Float;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
    case ftOraTimeStamp:
    case ftTimeStampOffset:
      return TValueClass::DateTime;
    default:
      return TValueClass::Other;
  }
}

}  // namespace livrexa
