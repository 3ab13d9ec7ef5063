#pragma once
// One named, typed parameter of a request or reply, with its value object, its encryption
// options and the typed accessors the handlers use.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "rest/params/json_value.h"
#include "rest/wire/wire_consts.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {

// A loosely typed value as the parameters take and give it.
struct TVarUnassigned {
  bool operator==(const TVarUnassigned&) const = default;
};
struct TVarNull {
  bool operator==(const TVarNull&) const = default;
};
struct TVarDate {  // a date-time, kept apart from plain numbers
  TDateTime Value = 0;
  bool operator==(const TVarDate&) const = default;
};
struct TVarBytes {  // a byte array
  std::string Bytes;
  bool operator==(const TVarBytes&) const = default;
};
using TVariant =
    std::variant<TVarUnassigned, TVarNull, bool, int64_t, double, TVarDate, std::string, TVarBytes>;

bool VarIsEmptyOrNull(const TVariant& v);
// The conversions a variant undergoes when stored or read as a given type. Texts of numbers
// follow the process format; a boolean reads -1 as an integer (True); impossible conversions
// fail with "Could not convert variant of type (<from>) into type (<to>)".
std::string VarToText(const TVariant& v);
int64_t VarToInt64(const TVariant& v);
bool VarToBoolean(const TVariant& v);
double VarToDouble(const TVariant& v);
TDateTime VarToDateTime(const TVariant& v);

// Deciphers a parameter's text with the request's key. The listener installs its cipher here;
// a parameter asked to decipher without one fails with "No cipher available for DWParam".
using TDecipherText = std::function<std::string(const std::string& text, const std::string& key)>;

class TCripto {
 public:
  bool UseCripto() const { return vUseCripto; }
  void SetUseCripto(bool Value) { vUseCripto = Value; }
  const std::string& KeyString() const { return vKeyString; }
  void SetKeyString(const std::string& Value) { vKeyString = Value; }
  const TDecipherText& Decipher() const { return vDecipher; }
  void SetDecipher(const TDecipherText& Value) { vDecipher = Value; }

 private:
  std::string vKeyString;
  bool vUseCripto = false;
  TDecipherText vDecipher;
};

class TJSONParam {
 public:
  explicit TJSONParam(TEncodeSelect Encoding);
  TJSONParam(const TJSONParam&) = delete;
  TJSONParam& operator=(const TJSONParam&) = delete;

  // Properties.
  const TCripto& CriptOptions() const { return *vCripto; }
  void SetCriptOptions(const TCripto& Value) { *vCripto = Value; }
  // The cipher used when the encryption options are on.
  void SetDecipher(const TDecipherText& Value) { vCripto->SetDecipher(Value); }
  // The value object; the setters of its flags assign them without the parameter's side effects.
  const TJSONValue& JSONValue() const { return *vJSONValue; }
  TJSONValue& JSONValue() { return *vJSONValue; }
  TTypeObject TypeObject() const { return vTypeObject; }
  void SetTypeObject(TTypeObject Value) { vTypeObject = Value; }
  TObjectDirection ObjectDirection() const { return vObjectDirection; }
  void SetObjectDirection(TObjectDirection Value);  // on the value object too
  TObjectValue ObjectValue() const { return vObjectValue; }
  void SetObjectValue(TObjectValue Value);  // binary flag set exactly for the binary kinds
  const std::string& ParamName() const { return vParamName; }
  void SetParamName(const std::string& Value);  // upper case, also the value object's key
  const std::string& ParamFileName() const { return vParamFileName; }
  void SetParamFileName(const std::string& Value) { vParamFileName = Value; }
  const std::string& ParamContentType() const { return vParamContentType; }
  void SetParamContentType(const std::string& Value) { vParamContentType = Value; }
  bool Encoded() const { return vEncoded; }
  void SetEncoded(bool Value);  // on the value object too
  bool Binary() const { return vBinary; }
  TJsonMode JsonMode() const { return vJsonMode; }
  void SetJsonMode(TJsonMode Value) { vJsonMode = Value; }
  const std::string& FloatDecimalFormat() const { return vFloatDecimalFormat; }
  void SetFloatDecimalFormat(const std::string& Value) { vFloatDecimalFormat = Value; }
  TEncodeSelect Encoding() const { return vEncoding; }

  // Null again with an empty encoded value; null and empty tests.
  void Clear();
  bool IsNull() const { return vNullValue; }
  bool IsEmpty() const { return AsString().empty(); }

  // Stores a value text, through EncodeText when Encode is set and the kind is not binary.
  void SetValue(std::string_view aValue, bool Encode = true);
  // Stores a typed value under DataType (the kind changes with it; a null value changes nothing).
  void SetDataValue(const TVariant& Value, TObjectValue DataType);
  void SetVariantValue(const TVariant& Value) { SetDataValue(Value, vObjectValue); }
  // Reads the value as the given kind.
  TVariant GetValue(TObjectValue ValueType) const;
  // Reads the value as the parameter's own kind; text kinds are deciphered when the
  // encryption options are on.
  TVariant GetVariantValue() const;
  TVariant Value() const { return GetVariantValue(); }
  void SetValueVariant(const TVariant& v) { SetVariantValue(v); }

  // Typed accessors. Reading a null as a number or a date fails with the conversion error.
  std::string AsString() const;
  void SetAsString(std::string_view Value);
  std::string AsMemo() const;
  void SetAsMemo(const std::string& Value);
  int32_t AsInteger() const;
  void SetAsInteger(int64_t Value);
  int32_t AsSmallInt() const;
  void SetAsSmallInt(int64_t Value);
  int32_t AsShortInt() const;
  void SetAsShortInt(int64_t Value);
  int32_t AsWord() const;
  void SetAsWord(int64_t Value);
  int64_t AsLongWord() const;
  void SetAsLongWord(int64_t Value);
  int64_t AsLargeInt() const;
  void SetAsLargeInt(int64_t Value);
  bool AsBoolean() const;
  void SetAsBoolean(bool Value);
  double AsFloat() const;
  void SetAsFloat(double Value);
  double AsExtended() const;
  void SetAsExtended(double Value);
  double AsCurrency() const;
  void SetAsCurrency(double Value);
  double AsBCD() const;
  void SetAsBCD(double Value);
  double AsFMTBCD() const;
  void SetAsFMTBCD(double Value);
  double AsSingle() const;  // ovSingle reads as an integer
  void SetAsSingle(double Value);
  TDateTime AsDate() const;
  void SetAsDate(TDateTime Value);
  TDateTime AsTime() const;
  void SetAsTime(TDateTime Value);
  TDateTime AsDateTime() const;
  void SetAsDateTime(TDateTime Value);

  // The parameter's JSON text. Copies the encoded flag, JSON mode, type object, name (as the key)
  // and kind into the value object first, as the value object writes the text.
  std::string ToJSON() const;
  // Fills the parameter from a parameter's JSON text (members by position; the value text cut
  // from the raw text). Not valid JSON: a LivrexaError naming the byte offset.
  void FromJSON(std::string_view json);
  // Type object, direction, encoded flag, kind and name, then the other's value as text, encoded.
  void CopyFrom(const TJSONParam& JSONParam);

 private:
  // Fields. The list and this class's own code assign them
  // directly, which skips the side effects of the property setters.
  friend class TDWParams;

  std::unique_ptr<TJSONValue> vJSONValue;
  TJsonMode vJsonMode = TJsonMode::jmDataware;
  TEncodeSelect vEncoding;
  TTypeObject vTypeObject = TTypeObject::toParam;
  TObjectDirection vObjectDirection = TObjectDirection::odINOUT;
  TObjectValue vObjectValue = TObjectValue::ovString;
  std::unique_ptr<TCripto> vCripto;
  std::string vFloatDecimalFormat;
  std::string vParamName;
  std::string vParamFileName;     // set for a parameter that arrived as a file of a multipart body
  std::string vParamContentType;  // its content type
  bool vNullValue = true;
  bool vBinary = false;
  bool vEncoded = true;

  // The value object takes the parameter's settings, writes the text, and lends its null flag.
  // Stores the text as it is, or its base64 form when encode is set.
  void StoreText(std::string_view text, bool encode = false);
  double FloatOf(TObjectValue kind) const;
  TDateTime DateOf(TObjectValue kind) const;
};

}  // namespace livrexa
