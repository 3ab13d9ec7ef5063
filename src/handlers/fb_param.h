#pragma once
// One named parameter of the command: a type and a value, or a typed null.

#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <variant>

#include "rest/wire/field_types.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {

class TFbParam {
 public:
  explicit TFbParam(std::string name) : name_(std::move(name)) {}

  const std::string& Name() const { return name_; }

  void SetAsString(std::string_view text);
  void SetAsInteger(int32_t value);
  void SetAsLargeInt(int64_t value);
  void SetAsFloat(double value);
  void SetAsBoolean(bool value);
  void SetAsDate(TDateTime value);  // the time of day is dropped
  void SetAsTime(TDateTime value);  // the date is dropped
  void SetAsDateTime(TDateTime value);
  // The bytes of a large object; the type says how it is declared (ftGraphic for a picture,
  // ftBlob for plain bytes, ftMemo for text).
  void SetAsBlob(std::string bytes, TFieldType blobType = TFieldType::ftGraphic);
  // Reads the stream to its end and binds its bytes as a picture.
  void LoadFromStream(std::istream& stream, TFieldType blobType = TFieldType::ftGraphic);

  // Sets the type only: the parameter holds a null of that type until a value is set.
  void SetDataType(TFieldType type);
  // Binds a null, keeping the current type. The engine receives the null in the type the
  // statement expects at each place the parameter stands.
  void Clear();

  TFieldType DataType() const { return type_; }
  // False until a value, a type or a null has been given; an unbound parameter fails the statement.
  bool Bound() const { return bound_; }
  bool IsNull() const { return std::holds_alternative<std::monostate>(value_); }
  // The value: string for texts and blobs, int64_t for integers, double for floats and
  // date-times, bool for booleans; monostate for null.
  const std::variant<std::monostate, std::string, int64_t, double, bool>& Value() const { return value_; }

 private:
  std::string name_;
  TFieldType type_ = TFieldType::ftUnknown;
  bool bound_ = false;
  std::variant<std::monostate, std::string, int64_t, double, bool> value_;
};

}  // namespace livrexa
