#include "rest/dataset/row_set.h"

#include <cmath>
#include <limits>

#include "rest/wire/errors.h"

namespace livrexa {

int TRowSet::FindField(std::string_view name) const {
  const std::string_view wanted = Trim(name);
  for (size_t i = 0; i < FieldCount(); ++i)
    if (SameText(FieldDef(i).Name, wanted)) return static_cast<int>(i);
  return -1;
}

size_t TRowSet::FieldIndex(std::string_view name) const {
  const int i = FindField(name);
  if (i < 0) throw LivrexaError("Field '" + std::string(name) + "' not found");
  return static_cast<size_t>(i);
}

bool TRowSet::IsNull(size_t index) const {
  return std::holds_alternative<std::monostate>(Value(index));
}

std::string FieldValueToString(const TFieldValue& value, TFieldType type) {
  if (const auto* s = std::get_if<std::string>(&value)) return *s;
  if (const auto* i = std::get_if<int64_t>(&value)) return std::to_string(*i);
  if (const auto* b = std::get_if<bool>(&value)) return *b ? "True" : "False";
  if (const auto* d = std::get_if<double>(&value)) {
    if (ValueClassOf(type) != TValueClass::DateTime) return FloatToText(*d);
    if (type == TFieldType::ftDate) return DateToStr(*d);
    if (type == TFieldType::ftTime) return TimeToStr(*d);
    return DateTimeToStr(*d);
  }
  return {};
}

std::string TRowSet::AsString(size_t index) const {
  return FieldValueToString(Value(index), FieldDef(index).DataType);
}

int64_t TRowSet::AsLargeInt(size_t index) const {
  const TFieldValue& v = Value(index);
  if (const auto* i = std::get_if<int64_t>(&v)) return *i;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (const auto* d = std::get_if<double>(&v)) {
    if (!(std::fabs(*d) < 9.2e18))
      throw LivrexaError("'" + FloatToText(*d) + "' is not a valid integer value");
    return std::llround(*d);
  }
  if (const auto* s = std::get_if<std::string>(&v)) return s->empty() ? 0 : StrToInt64(*s);
  return 0;
}

int32_t TRowSet::AsInteger(size_t index) const {
  const int64_t v = AsLargeInt(index);
  if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
    throw LivrexaError("'" + std::to_string(v) + "' is not a valid integer value");
  return static_cast<int32_t>(v);
}

bool TRowSet::AsBoolean(size_t index) const {
  const TFieldValue& v = Value(index);
  if (const auto* b = std::get_if<bool>(&v)) return *b;
  if (const auto* i = std::get_if<int64_t>(&v)) return *i != 0;
  if (const auto* d = std::get_if<double>(&v)) return *d != 0;
  if (const auto* s = std::get_if<std::string>(&v)) {
    // Text fields read true when they begin with T or Y, as the runtime's text fields do.
    return !s->empty() && ((*s)[0] == 'T' || (*s)[0] == 't' || (*s)[0] == 'Y' || (*s)[0] == 'y');
  }
  return false;
}

double TRowSet::AsFloat(size_t index) const {
  const TFieldValue& v = Value(index);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* b = std::get_if<bool>(&v)) return *b ? 1 : 0;
  if (const auto* s = std::get_if<std::string>(&v)) return s->empty() ? 0 : StrToFloat(*s);
  return 0;
}

TDateTime TRowSet::AsDateTime(size_t index) const {
  const TFieldValue& v = Value(index);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* s = std::get_if<std::string>(&v)) {
    if (s->empty()) return 0;
    throw LivrexaError("'" + *s + "' is not a valid date and time");
  }
  return 0;
}

}  // namespace livrexa
