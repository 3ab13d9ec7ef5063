#include "handlers/gateway/query.h"

#include <cmath>
#include <iterator>

namespace livrexa {

void TFbParam::SetAsString(std::string_view text) {
  type_ = TFieldType::ftString;
  value_ = std::string(text);
  bound_ = true;
}

void TFbParam::SetAsInteger(int32_t value) {
  type_ = TFieldType::ftInteger;
  value_ = static_cast<int64_t>(value);
  bound_ = true;
}

void TFbParam::SetAsLargeInt(int64_t value) {
  type_ = TFieldType::ftLargeint;
  value_ = value;
  bound_ = true;
}

void TFbParam::SetAsFloat(double value) {
  type_ = TFieldType::ftFloat;
  value_ = value;
  bound_ = true;
}

void TFbParam::SetAsBoolean(bool value) {
  type_ = TFieldType::ftBoolean;
  value_ = value;
  bound_ = true;
}

void TFbParam::SetAsDate(TDateTime value) {
  type_ = TFieldType::ftDate;
  value_ = std::trunc(value);
  bound_ = true;
}

void TFbParam::SetAsTime(TDateTime value) {
  type_ = TFieldType::ftTime;
  value_ = std::fabs(value - std::trunc(value));
  bound_ = true;
}

void TFbParam::SetAsDateTime(TDateTime value) {
  type_ = TFieldType::ftDateTime;
  value_ = value;
  bound_ = true;
}

void TFbParam::SetAsBlob(std::string bytes, TFieldType blobType) {
  type_ = blobType;
  value_ = std::move(bytes);
  bound_ = true;
}

void TFbParam::LoadFromStream(std::istream& stream, TFieldType blobType) {
  SetAsBlob(std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>()), blobType);
}

void TFbParam::SetDataType(TFieldType type) {
  type_ = type;
  value_ = std::monostate{};
  bound_ = true;
}

void TFbParam::Clear() {
  value_ = std::monostate{};
  bound_ = true;
}

}  // namespace livrexa
