#include "rest/wire/wire_consts.h"

#include <algorithm>

namespace livrexa {
namespace {

constexpr std::array<std::string_view, 5> kTypeObjectNames = {"toDataset", "toParam", "toMassive",
                                                              "toVariable", "toObject"};
constexpr std::array<std::string_view, 3> kDirectionNames = {"odIN", "odOUT", "odINOUT"};
constexpr std::array<std::string_view, 3> kJsonModeNames = {"jmDataware", "jmPureJSON", "jmUndefined"};
constexpr std::array<std::string_view, kObjectValueCount> kObjectValueNames = {
    "ovUnknown",      "ovString",      "ovSmallint", "ovInteger",       "ovWord",
    "ovBoolean",      "ovFloat",       "ovCurrency", "ovBCD",           "ovDate",
    "ovTime",         "ovDateTime",    "ovBytes",    "ovVarBytes",      "ovAutoInc",
    "ovBlob",         "ovMemo",        "ovGraphic",  "ovFmtMemo",       "ovParadoxOle",
    "ovDBaseOle",     "ovTypedBinary", "ovCursor",   "ovFixedChar",     "ovWideString",
    "ovLargeint",     "ovADT",         "ovArray",    "ovReference",     "ovDataSet",
    "ovOraBlob",      "ovOraClob",     "ovVariant",  "ovInterface",     "ovIDispatch",
    "ovGuid",         "ovTimeStamp",   "ovFMTBcd",   "ovFixedWideChar", "ovWideMemo",
    "ovOraTimeStamp", "ovOraInterval", "ovLongWord", "ovShortint",      "ovByte",
    "ovExtended",     "ovConnection",  "ovParams",   "ovStream",        "ovTimeStampOffset",
    "ovObject",       "ovSingle"};

bool OneOf(TObjectValue v, std::initializer_list<TObjectValue> set) {
  return std::find(set.begin(), set.end(), v) != set.end();
}

}  // namespace

std::string_view TypeObjectName(TTypeObject v) {
  const auto i = static_cast<int>(v);
  return (i >= 0 && i < 5) ? kTypeObjectNames[i] : "toObject";
}

std::string_view DirectionName(TObjectDirection v) {
  const auto i = static_cast<int>(v);
  return (i >= 0 && i < 3) ? kDirectionNames[i] : "odINOUT";
}

std::string_view ObjectValueName(TObjectValue v) {
  const auto i = static_cast<int>(v);
  return (i >= 0 && i < kObjectValueCount) ? kObjectValueNames[i] : "ovUnknown";
}

std::string_view JsonModeName(TJsonMode v) {
  const auto i = static_cast<int>(v);
  return (i >= 0 && i < 3) ? kJsonModeNames[i] : "jmDataware";
}

TTypeObject ReadTypeObject(std::string_view name) {
  for (int i = 0; i < 5; ++i)
    if (SameText(name, kTypeObjectNames[i])) return static_cast<TTypeObject>(i);
  return TTypeObject::toObject;
}

TObjectDirection ReadDirection(std::string_view name) {
  if (SameText(name, "odINOUT")) return TObjectDirection::odINOUT;
  if (SameText(name, "odIN")) return TObjectDirection::odIN;
  return TObjectDirection::odOUT;
}

bool ReadEncoded(std::string_view text) {
  return SameText(text, "true");
}

TObjectValue ReadObjectValue(std::string_view name) {
  for (int i = 0; i < kObjectValueCount; ++i)
    if (SameText(name, kObjectValueNames[i])) return static_cast<TObjectValue>(i);
  return TObjectValue::ovSingle;
}

bool IsBinaryKind(TObjectValue v) {
  using enum TObjectValue;
  return OneOf(v, {ovBlob, ovGraphic, ovOraBlob, ovOraClob, ovStream});
}

bool IsBinaryKindWithBytes(TObjectValue v) {
  using enum TObjectValue;
  return IsBinaryKind(v) || v == ovBytes || v == ovVarBytes;
}

bool IsDateKind(TObjectValue v) {
  using enum TObjectValue;
  return OneOf(v, {ovDate, ovTime, ovDateTime, ovTimeStamp});
}

bool IsDateKindExtended(TObjectValue v) {
  using enum TObjectValue;
  return IsDateKind(v) || v == ovOraTimeStamp || v == ovTimeStampOffset;
}

bool IsFloatKind(TObjectValue v) {
  using enum TObjectValue;
  return OneOf(v, {ovFloat, ovCurrency, ovBCD, ovFMTBcd, ovExtended});
}

bool IsTextKind(TObjectValue v) {
  using enum TObjectValue;
  return OneOf(v, {ovString, ovMemo, ovFmtMemo, ovFixedChar, ovWideString, ovFixedWideChar, ovWideMemo});
}

bool IsIntegerKind(TObjectValue v) {
  using enum TObjectValue;
  return OneOf(v, {ovSmallint, ovInteger, ovWord, ovAutoInc, ovLargeint, ovOraInterval, ovLongWord,
                   ovShortint, ovSingle});
}

}  // namespace livrexa
