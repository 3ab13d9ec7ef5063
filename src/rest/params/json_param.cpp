#include "rest/params/json_param.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "rest/params/detail/param_text_reader.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"

namespace livrexa {
namespace {

using enum TObjectValue;

const char* VarTypeName(const TVariant& v) {
  constexpr const char* kNames[] = {"Empty",  "Null", "Boolean",       "Int64",
                                    "Double", "Date", "UnicodeString", "Array Byte"};
  return kNames[v.index()];
}

[[noreturn]] void ThrowCast(const TVariant& v, const char* to) {
  throw LivrexaError(std::string("Could not convert variant of type (") + VarTypeName(v) + ") into type (" +
                     to + ")");
}

// Kinds read and written as raw bytes by the typed accessors.
bool IsByteArrayKind(TObjectValue v) {
  return v == ovBytes || v == ovVarBytes || v == ovBlob || v == ovGraphic || v == ovParadoxOle ||
         v == ovDBaseOle || v == ovTypedBinary || v == ovOraBlob || v == ovOraClob || v == ovByte ||
         v == ovStream;
}

bool RoundToInt64(double d, int64_t& out) {
  if (!(d > -9.2e18 && d < 9.2e18)) return false;
  out = static_cast<int64_t>(std::nearbyint(d));  // the default rounding mode: ties to even
  return true;
}

// "dd/mm/yyyy", optionally followed by a blank and "hh:nn" or "hh:nn:ss"; or a time alone.
bool TryParseDateTimeText(std::string_view text, TDateTime& out,
                          const TFormatSettings& fs = ProcessFormat()) {
  const std::string s(Trim(text));
  int d = 0, m = 0, y = 0, h = 0, n = 0, sec = 0, used = 0;
  const std::string dateFmt = std::string("%2d") + fs.DateSeparator + "%2d" + fs.DateSeparator + "%4d%n";
  const std::string timeFmt = std::string("%2d") + fs.TimeSeparator + "%2d%n";
  const std::string secFmt = std::string(1, fs.TimeSeparator) + "%2d%n";
  size_t pos = 0;
  bool haveDate = false;
  if (std::sscanf(s.c_str(), dateFmt.c_str(), &d, &m, &y, &used) == 3) {
    if (m < 1 || m > 12 || d < 1 || d > 31 || y < 1) return false;
    haveDate = true;
    pos = static_cast<size_t>(used);
    if (pos < s.size() && s[pos] == ' ') ++pos;
  }
  bool haveTime = false;
  if (pos < s.size() && std::sscanf(s.c_str() + pos, timeFmt.c_str(), &h, &n, &used) == 2) {
    haveTime = true;
    pos += static_cast<size_t>(used);
    if (pos < s.size() && std::sscanf(s.c_str() + pos, secFmt.c_str(), &sec, &used) == 1)
      pos += static_cast<size_t>(used);
    if (h < 0 || h > 23 || n < 0 || n > 59 || sec < 0 || sec > 59) return false;
  }
  if (pos != s.size() || (!haveDate && !haveTime)) return false;
  out = (haveDate ? EncodeDate(y, m, d) : 0) + (haveTime ? EncodeTime(h, n, sec) : 0);
  if (haveDate) {
    // Reject days the month does not have (EncodeDate would roll them over).
    const auto p = DecodeDateTime(out);
    if (p.day != d || p.month != m || p.year != y) return false;
  }
  return true;
}

}  // namespace

bool VarIsEmptyOrNull(const TVariant& v) {
  return std::holds_alternative<TVarUnassigned>(v) || std::holds_alternative<TVarNull>(v);
}

std::string VarToText(const TVariant& v) {
  if (const auto* s = std::get_if<std::string>(&v)) return *s;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? "True" : "False";
  if (const auto* i = std::get_if<int64_t>(&v)) return std::to_string(*i);
  if (const auto* d = std::get_if<double>(&v)) return FloatToText(*d);
  if (const auto* t = std::get_if<TVarDate>(&v)) return DateTimeToStr(t->Value);
  if (const auto* bytes = std::get_if<TVarBytes>(&v)) return bytes->Bytes;
  return {};
}

int64_t VarToInt64(const TVariant& v) {
  int64_t out = 0;
  if (std::holds_alternative<TVarUnassigned>(v)) return 0;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v)) return *i;
  if (const auto* d = std::get_if<double>(&v)) {
    if (RoundToInt64(*d, out)) return out;
  } else if (const auto* t = std::get_if<TVarDate>(&v)) {
    if (RoundToInt64(t->Value, out)) return out;
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    const std::string_view text = Trim(*s);
    double d = 0;
    if (TryStrToInt64(text, out)) return out;
    if (TryStrToFloat(text, d) && RoundToInt64(d, out)) return out;
  }
  ThrowCast(v, "Int64");
}

bool VarToBoolean(const TVariant& v) {
  if (std::holds_alternative<TVarUnassigned>(v)) return false;
  if (const auto* b = std::get_if<bool>(&v)) return *b;
  if (const auto* i = std::get_if<int64_t>(&v)) return *i != 0;
  if (const auto* d = std::get_if<double>(&v)) return *d != 0;
  if (const auto* s = std::get_if<std::string>(&v)) {
    const std::string_view text = Trim(*s);
    if (SameText(text, "true")) return true;
    if (SameText(text, "false")) return false;
    double d = 0;
    if (TryStrToFloat(text, d)) return d != 0;
  }
  ThrowCast(v, "Boolean");
}

double VarToDouble(const TVariant& v) {
  if (std::holds_alternative<TVarUnassigned>(v)) return 0;
  if (const auto* b = std::get_if<bool>(&v)) return *b ? -1 : 0;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* t = std::get_if<TVarDate>(&v)) return t->Value;
  if (const auto* s = std::get_if<std::string>(&v)) {
    double d = 0;
    if (TryStrToFloat(*s, d)) return d;
  }
  ThrowCast(v, "Double");
}

TDateTime VarToDateTime(const TVariant& v) {
  if (std::holds_alternative<TVarUnassigned>(v)) return 0;
  if (const auto* t = std::get_if<TVarDate>(&v)) return t->Value;
  if (const auto* i = std::get_if<int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  if (const auto* s = std::get_if<std::string>(&v)) {
    TDateTime out = 0;
    if (TryParseDateTimeText(*s, out) || TryStrToFloat(*s, out)) return out;
  }
  ThrowCast(v, "Date");
}

TJSONParam::TJSONParam(TEncodeSelect Encoding)
    : vJSONValue(std::make_unique<TJSONValue>()), vEncoding(Encoding), vCripto(std::make_unique<TCripto>()) {
  vJSONValue->vObjectDirection = vObjectDirection;
  vJSONValue->vBinary = vBinary;
  vJSONValue->SetEncoding(Encoding);
}

void TJSONParam::SetObjectDirection(TObjectDirection Value) {
  vObjectDirection = Value;
  vJSONValue->vObjectDirection = Value;
}

void TJSONParam::SetObjectValue(TObjectValue Value) {
  vObjectValue = Value;
  vBinary = IsBinaryKind(Value);
}

void TJSONParam::SetParamName(const std::string& Value) {
  vParamName = UpperCase(Value);
  vJSONValue->vtagName = vParamName;
}

void TJSONParam::SetEncoded(bool Value) {
  vEncoded = Value;
  vJSONValue->vEncoded = Value;
}

void TJSONParam::Clear() {
  vNullValue = true;
  vEncoded = true;
  vJSONValue->Clear();
}

void TJSONParam::StoreText(std::string_view text, bool encode) {
  TJSONValue& v = *vJSONValue;
  v.SetEncoding(vEncoding);
  v.vtagName = vParamName;
  v.vTypeObject = vTypeObject;
  v.vObjectDirection = vObjectDirection;
  v.vObjectValue = vObjectValue;
  v.vEncoded = vEncoded;
  if (!encode)
    v.WriteValue(text);
  else if (!v.WriteEncoded(text))
    v.WriteValue(EncodeText(text));
  vNullValue = v.vNullValue;
}

void TJSONParam::SetValue(std::string_view aValue, bool Encode) {
  vEncoded = Encode;
  vJSONValue->vJsonMode = vJsonMode;
  vJSONValue->vEncoded = vEncoded;
  vBinary = IsBinaryKind(vObjectValue);
  vJSONValue->vObjectValue = vObjectValue;
  StoreText(aValue, Encode && !IsBinaryKind(vObjectValue));
  vJSONValue->vBinary = vBinary;
}

void TJSONParam::SetDataValue(const TVariant& Value, TObjectValue DataType) {
  if (VarIsEmptyOrNull(Value) || IsByteArrayKind(DataType)) return;
  vObjectValue = DataType;
  if (DataType == ovUnknown || DataType == ovVariant) {
    SetEncoded(true);
    vObjectValue = ovString;
    SetValue(VarToText(Value), true);
  } else if (IsTextKind(DataType)) {
    vObjectValue = ovString;
    SetValue(VarToText(Value), vEncoded);
  } else if (DataType == ovBoolean) {
    const bool b = VarToBoolean(Value);
    SetEncoded(false);
    SetValue(b ? "true" : "false", false);
  } else if (IsIntegerKind(DataType)) {
    const int64_t n = VarToInt64(Value);
    SetEncoded(false);
    SetValue(std::to_string(n), false);
  } else if (IsFloatKind(DataType)) {
    const double d = VarToDouble(Value);
    SetEncoded(false);
    vObjectValue = ovFloat;
    SetValue(FloatToWire(d, vJsonMode, vFloatDecimalFormat), false);
  } else if (IsDateKindExtended(DataType)) {
    const TDateTime t = VarToDateTime(Value);
    SetEncoded(false);
    vObjectValue = ovDateTime;
    SetValue(std::to_string(DateTimeToWire(t)), false);
  } else if (DataType == ovObject) {
    SetValue(VarToText(Value), vEncoded);
  }
}

TVariant TJSONParam::GetValue(TObjectValue ValueType) const {
  if (ValueType == ovUnknown || ValueType == ovVariant || IsTextKind(ValueType)) return vJSONValue->Value();
  if (ValueType == ovBoolean) {
    const std::string t = vJSONValue->Value();
    if (t.empty() || SameText(t, "null")) return false;
    return t == "1" || SameText(t, "true");
  }
  if (IsIntegerKind(ValueType)) {
    const std::string value = vJSONValue->Value();
    const std::string_view t = Trim(value);
    if (t.empty() || t == "null") return TVarUnassigned{};
    if (ValueType == ovLargeint || ValueType == ovLongWord) return StrToInt64(t);
    return static_cast<int64_t>(StrToInt(t));
  }
  if (IsFloatKind(ValueType)) {
    const std::string t = vJSONValue->Value();
    if (t.empty() || t == "null") return TVarNull{};
    return WireToFloat(t);
  }
  if (IsDateKindExtended(ValueType)) {
    const std::string t = vJSONValue->Value();
    if (t.empty() || t == "null") return TVarNull{};
    return TVarDate{WireToDateTime(StrToInt64(t))};
  }
  if (IsByteArrayKind(ValueType)) {
    std::string bytes = vBinary
                            ? DecodeClientBinary(vJSONValue->Value(), "parâmetro " + UpperCase(vParamName))
                            : vJSONValue->aValue;
    if (bytes.empty()) return TVarNull{};
    return TVarBytes{std::move(bytes)};
  }
  return TVarUnassigned{};
}

TVariant TJSONParam::GetVariantValue() const {
  TVariant v = GetValue(vObjectValue);
  if (vCripto->UseCripto() && IsTextKind(vObjectValue)) {
    auto& text = std::get<std::string>(v);
    if (!text.empty()) {
      if (!vCripto->Decipher()) throw LivrexaError("No cipher available for DWParam");
      text = vCripto->Decipher()(text, vCripto->KeyString());
    }
  }
  return v;
}

std::string TJSONParam::AsString() const {
  return std::get<std::string>(GetValue(ovString));
}
void TJSONParam::SetAsString(std::string_view Value) {
  // What SetDataValue does for a text, without copying it into a variant and out again.
  vObjectValue = ovString;
  SetValue(Value, vEncoded);
}
std::string TJSONParam::AsMemo() const {
  return std::get<std::string>(GetValue(ovMemo));
}
void TJSONParam::SetAsMemo(const std::string& Value) {
  SetDataValue(Value, ovMemo);
}

namespace {
int64_t IntegerOf(const TVariant& v) {
  const auto* i = std::get_if<int64_t>(&v);
  return i ? *i : 0;  // unassigned reads as 0
}
}  // namespace

int32_t TJSONParam::AsInteger() const {
  return static_cast<int32_t>(IntegerOf(GetValue(ovInteger)));
}
void TJSONParam::SetAsInteger(int64_t Value) {
  SetDataValue(Value, ovInteger);
}
int32_t TJSONParam::AsSmallInt() const {
  return static_cast<int32_t>(IntegerOf(GetValue(ovSmallint)));
}
void TJSONParam::SetAsSmallInt(int64_t Value) {
  SetDataValue(Value, ovSmallint);
}
int32_t TJSONParam::AsShortInt() const {
  return static_cast<int32_t>(IntegerOf(GetValue(ovShortint)));
}
void TJSONParam::SetAsShortInt(int64_t Value) {
  SetDataValue(Value, ovShortint);
}
int32_t TJSONParam::AsWord() const {
  return static_cast<int32_t>(IntegerOf(GetValue(ovWord)));
}
void TJSONParam::SetAsWord(int64_t Value) {
  SetDataValue(Value, ovWord);
}
int64_t TJSONParam::AsLongWord() const {
  return IntegerOf(GetValue(ovLongWord));
}
void TJSONParam::SetAsLongWord(int64_t Value) {
  SetDataValue(Value, ovLongWord);
}
int64_t TJSONParam::AsLargeInt() const {
  return IntegerOf(GetValue(ovLargeint));
}
void TJSONParam::SetAsLargeInt(int64_t Value) {
  SetDataValue(Value, ovLargeint);
}

bool TJSONParam::AsBoolean() const {
  return std::get<bool>(GetValue(ovBoolean));
}
void TJSONParam::SetAsBoolean(bool Value) {
  SetDataValue(Value, ovBoolean);
}

double TJSONParam::FloatOf(TObjectValue kind) const {
  const TVariant v = GetValue(kind);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  ThrowCast(v, "Double");
}

TDateTime TJSONParam::DateOf(TObjectValue kind) const {
  const TVariant v = GetValue(kind);
  if (const auto* t = std::get_if<TVarDate>(&v)) return t->Value;
  ThrowCast(v, "Date");
}

double TJSONParam::AsFloat() const {
  return FloatOf(ovFloat);
}
void TJSONParam::SetAsFloat(double Value) {
  SetDataValue(Value, ovFloat);
}
double TJSONParam::AsExtended() const {
  return FloatOf(ovExtended);
}
void TJSONParam::SetAsExtended(double Value) {
  SetDataValue(Value, ovExtended);
}
double TJSONParam::AsCurrency() const {
  return FloatOf(ovCurrency);
}
void TJSONParam::SetAsCurrency(double Value) {
  SetDataValue(Value, ovCurrency);
}
double TJSONParam::AsBCD() const {
  return FloatOf(ovBCD);
}
void TJSONParam::SetAsBCD(double Value) {
  SetDataValue(Value, ovBCD);
}
double TJSONParam::AsFMTBCD() const {
  return FloatOf(ovFMTBcd);
}
void TJSONParam::SetAsFMTBCD(double Value) {
  SetDataValue(Value, ovFMTBcd);
}
double TJSONParam::AsSingle() const {
  return static_cast<double>(IntegerOf(GetValue(ovSingle)));
}
void TJSONParam::SetAsSingle(double Value) {
  SetDataValue(Value, ovSingle);
}

TDateTime TJSONParam::AsDate() const {
  return DateOf(ovDate);
}
void TJSONParam::SetAsDate(TDateTime Value) {
  SetDataValue(TVarDate{Value}, ovDate);
}
TDateTime TJSONParam::AsTime() const {
  return DateOf(ovTime);
}
void TJSONParam::SetAsTime(TDateTime Value) {
  SetDataValue(TVarDate{Value}, ovTime);
}
TDateTime TJSONParam::AsDateTime() const {
  return DateOf(ovDateTime);
}
void TJSONParam::SetAsDateTime(TDateTime Value) {
  SetDataValue(TVarDate{Value}, ovDateTime);
}

std::string TJSONParam::ToJSON() const {
  TJSONValue& v = *vJSONValue;
  v.vEncoded = vEncoded;
  v.vJsonMode = vJsonMode;
  v.vTypeObject = vTypeObject;
  v.vtagName = vParamName;
  v.vObjectValue = vObjectValue;
  std::string result = v.ToJSON();
  if (vJsonMode == TJsonMode::jmPureJSON) {
    const auto has = [&result](char c) { return result.find(c) != std::string::npos; };
    if (!(has('{') && has('}')) && !(has('[') && has(']')))
      result = "{\"" + vParamName + "\" : \"" + result + "\"}";
  }
  return result;
}

void TJSONParam::FromJSON(std::string_view json) {
  // The text is copied only when it has line breaks to remove: a value may be most of a request.
  std::string without_line_breaks;
  if (json.find("\r\n") != std::string_view::npos) without_line_breaks = RemoveCrLfPairs(json);
  const std::string_view text = without_line_breaks.empty() ? json : std::string_view(without_line_breaks);
  const TJsonHead head = ReadJsonHead(text);
  const std::string_view value = CutValueText(text);
  if (head.MemberCount >= 1) vTypeObject = ReadTypeObject(head.Values[0]);
  if (head.MemberCount >= 2) SetObjectDirection(ReadDirection(head.Values[1]));
  if (head.MemberCount >= 3) SetEncoded(ReadEncoded(head.Values[2]));
  if (head.MemberCount >= 4) SetObjectValue(ReadObjectValue(head.Values[3]));
  if (head.MemberCount >= 5) {
    vParamName = LowerCase(head.Keys[4]);
    vJSONValue->vtagName = vParamName;
  }
  StoreText(value);
  // The value object reads base64 of the byte kinds as it is, so it carries the flag as well.
  vBinary = IsBinaryKindWithBytes(vObjectValue);
  vJSONValue->vBinary = vBinary;
}

void TJSONParam::CopyFrom(const TJSONParam& JSONParam) {
  vTypeObject = JSONParam.vTypeObject;
  SetObjectDirection(JSONParam.vObjectDirection);
  SetEncoded(JSONParam.vEncoded);
  SetObjectValue(JSONParam.vObjectValue);
  vParamName = JSONParam.vParamName;
  vJSONValue->vtagName = vParamName;
  const TVariant value = JSONParam.GetValue(JSONParam.vObjectValue);
  // A byte array travels as text in its base64 form, which the binary kinds store as it is.
  const auto* bytes = std::get_if<TVarBytes>(&value);
  SetValue(bytes ? EncodeBinary(bytes->Bytes) : VarToText(value), true);
}

}  // namespace livrexa
