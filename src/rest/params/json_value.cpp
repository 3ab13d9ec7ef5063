#include "rest/params/json_value.h"

#include <string.h>

#include <cstring>

#include "rest/params/detail/param_text_reader.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TObjectValue;

bool IsQuoted(std::string_view s) {
  return !s.empty() && s.front() == '"' && s.back() == '"';
}

std::string Quoted(std::string_view s) {
  std::string out;
  out.reserve(s.size() + 2);
  out.push_back('"');
  out.append(s);
  out.push_back('"');
  return out;
}

// Kinds whose empty text is an empty value rather than a null one.
bool EmptyIsNotNull(TObjectValue v) {
  return v == ovString || v == ovMemo || v == ovFmtMemo || v == ovWideMemo;
}

// Kinds written in double quotes by WriteValue.
bool StoredQuoted(TObjectValue v) {
  return v == ovString || v == ovMemo || v == ovFmtMemo || v == ovDataSet || v == ovWideMemo;
}

// Kinds whose value is written in double quotes in the JSON text.
bool WrittenQuoted(TObjectValue v) {
  return IsDateKind(v) || v == ovString || v == ovMemo || v == ovFmtMemo || v == ovFixedChar ||
         v == ovWideString || v == ovWideMemo;
}

// Kinds whose empty stored text still writes an empty (not a null) JSON value.
bool EmptyWritesEmpty(TObjectValue v) {
  return v == ovString || v == ovBlob || v == ovMemo || v == ovGraphic || v == ovFmtMemo ||
         v == ovFixedChar || v == ovWideString || v == ovOraBlob || v == ovOraClob || v == ovFixedWideChar ||
         v == ovWideMemo || v == ovStream;
}

}  // namespace

std::string TJSONValue::TextToBytes(std::string_view text) const {
  if (vEncoding == TEncodeSelect::esUtf8) return std::string(text);
  return Utf8ToAscii7(text);
}

std::string TJSONValue::BytesToText(std::string_view bytes) const {
  if (vEncoding == TEncodeSelect::esUtf8) return SanitizeUtf8(bytes);
  return Ascii7ToUtf8(bytes);
}

void TJSONValue::WriteValue(std::string_view text) {
  aValue.clear();
  if (text.empty() || text == "null") {
    if (!vNullValue) vNullValue = !EmptyIsNotNull(vObjectValue);
    return;
  }
  vNullValue = false;
  if (IsFloatKind(vObjectValue)) {
    aValue = TextToBytes(WireToFloatText(Quoted(text)));
    return;
  }
  const bool quoted = StoredQuoted(vObjectValue) || (vObjectValue == ovObject && vEncoded) ||
                      IsDateKindExtended(vObjectValue);
  if (vEncoding != TEncodeSelect::esUtf8 && !IsAscii(text)) {
    aValue = TextToBytes(quoted ? Quoted(text) : std::string(text));
    return;
  }
  // Texts already in their byte form (every base64 text is) are stored with one copy.
  aValue.reserve(text.size() + 2);
  if (quoted) aValue.push_back('"');
  aValue.append(text);
  if (quoted) aValue.push_back('"');
}

bool TJSONValue::WriteEncoded(std::string_view plain) {
  // The base64 text of a value is never empty for a non-empty value and always ASCII; "null"
  // (the base64 of three particular bytes) and the float kinds go the long way.
  if (plain.empty() || plain == "\x9E\xE9\x65" || IsFloatKind(vObjectValue)) return false;
  const bool quoted = StoredQuoted(vObjectValue) || (vObjectValue == ovObject && vEncoded) ||
                      IsDateKindExtended(vObjectValue);
  vNullValue = false;
  aValue.clear();
  aValue.shrink_to_fit();
  aValue.reserve(4 * ((plain.size() + 2) / 3) + 2);
  if (quoted) aValue.push_back('"');
  AppendBase64(aValue, plain);
  if (quoted) aValue.push_back('"');
  return true;
}

void TJSONValue::SetValue(const std::string& Value, bool Encode) {
  vEncoded = Encode;
  vNullValue = false;
  if (IsBinaryKindWithBytes(vObjectValue)) {
    vBinary = true;
    WriteValue(Value);
  } else {
    vBinary = false;
    WriteValue(Encode ? EncodeText(Value) : Value);
  }
}

std::string TJSONValue::Value() const {
  if (aValue.empty()) return {};
  std::string s = BytesToText(aValue);
  if (!s.empty()) {
    if (s.front() == '"') s.erase(0, 1);
    if (!s.empty() && s.back() == '"') s.pop_back();
    s = std::string(Trim(s));
  }
  if (vEncoded) {
    if (IsBinaryKindWithBytes(vObjectValue) && vBinary) return s;
    if (!s.empty()) s = DecodeClientText(s, "parâmetro " + UpperCase(vtagName));
  } else if (s.empty()) {
    s = BytesToText(aValue);
  }
  if (vObjectValue == ovString) {
    if (!s.empty() && s.front() == '"') s.erase(0, 1);
    if (!s.empty() && s.back() == '"') s.pop_back();
  }
  return s;
}

void TJSONValue::Clear() {
  vNullValue = true;
  vEncoded = true;
  aValue.clear();
}

std::string TJSONValue::ValueText(std::string_view s) const {
  // t is a view of s, or of one of the texts below when a rule replaces it; dataset texts of
  // megabytes pass through here, so nothing is copied until the result is written.
  std::string_view t = s;
  std::string escaped, wire, quoted;
  if (!Trim(t).empty() && IsQuoted(t)) t = t.size() >= 2 ? t.substr(1, t.size() - 2) : std::string_view();

  if (!vEncoded && !Trim(t).empty() && !(Contains(t, '{') && Contains(t, '}')) &&
      !(Contains(t, '[') && Contains(t, ']')) && !IsBinaryKind(vObjectValue)) {
    escaped = EscapeJSONText(t);
    t = escaped;
  }

  const bool sIsQuotedNull = Trim(s) == "\"null\"";
  if (vNullValue) {
    t = "null";
  } else if (IsDateKind(vObjectValue) && (Trim(t).empty() || sIsQuotedNull)) {
    t = "\"\"";
  }

  if (vJsonMode == TJsonMode::jmPureJSON || vJsonMode == TJsonMode::jmUndefined) return std::string(t);

  const auto v = [this](std::string_view x) -> std::string_view {
    return ((x.empty() || x == "\"\"") && vNullValue) ? std::string_view("null") : x;
  };
  std::string_view open, member, close;
  if (vTypeObject == TTypeObject::toDataset) {
    open = "[", member = v(t), close = "]";
  } else if (vObjectValue == ovObject && vEncoded) {
    open = "\"", member = v(t), close = "\"";
  } else if (vObjectValue == ovObject || vNullValue) {
    member = v(t);
  } else if (WrittenQuoted(vObjectValue)) {
    open = "\"", member = v(t), close = "\"";
  } else if (IsFloatKind(vObjectValue)) {
    wire = FloatToWire(t, vJsonMode, vFloatDecimalFormat);
    open = "\"", member = v(wire), close = "\"";
  } else {
    if (IsBinaryKind(vObjectValue)) {
      if (t.empty()) {
        t = "\"\"";
      } else if ((!IsQuoted(t) && vEncoded) || !Contains(t, '"')) {
        quoted = Quoted(t);
        t = quoted;
      }
    }
    member = sIsQuotedNull ? Trim(s) : v(t);
  }

  std::string out;
  out.reserve(member.size() + vtagName.size() + 100);
  out += "{\"ObjectType\":\"";
  out += TypeObjectName(vTypeObject);
  out += "\", \"Direction\":\"";
  out += DirectionName(vObjectDirection);
  out += "\", \"Encoded\":\"";
  out += vEncoded ? "true" : "false";
  out += "\", \"ValueType\":\"";
  out += ObjectValueName(vObjectValue);
  out += "\", \"";
  out += vtagName;
  out += "\":";
  out += open;
  out += member;
  out += close;
  out += "}";
  return out;
}

std::string TJSONValue::ToJSON() const {
  // Under the 7-bit and code-page encodings an all-ASCII value reads back as itself.
  std::string converted;
  std::string_view s = aValue;
  if (vEncoding == TEncodeSelect::esUtf8 || !IsAscii(aValue)) {
    converted = BytesToText(aValue);
    s = converted;
  }
  std::string result;
  if (!s.empty())
    result = ValueText(s);
  else if (vNullValue || !EmptyWritesEmpty(vObjectValue))
    result = ValueText("null");
  else
    result = ValueText("");
  // Driven by the closing brace, which ends the pattern and is rare in dataset texts (once per
  // line), unlike the quote that begins it.
  static constexpr std::string_view kEmptyTag = "\"TAGJSON\":";
  const char* const begin = result.data();
  const char* const end = begin + result.size();
  if (result.size() <= kEmptyTag.size()) return result;
  for (const char* p = begin + kEmptyTag.size();
       p < end && (p = static_cast<const char*>(std::memchr(p, '}', static_cast<size_t>(end - p)))); ++p) {
    if (std::string_view(p - kEmptyTag.size(), kEmptyTag.size()) == kEmptyTag) return {};
  }
  return result;
}

void TJSONValue::LoadFromJSON(const std::string& bValue) {
  const std::string text = RemoveCrLfPairs(bValue);
  const TJsonHead head = ReadJsonHead(text);
  if (head.MemberCount == 0) return;

  vNullValue = false;
  std::string value(CutValueText(text));
  vTypeObject = ReadTypeObject(head.Values[0]);
  if (head.MemberCount >= 2) vObjectDirection = ReadDirection(head.Values[1]);
  if (head.MemberCount >= 4) vObjectValue = ReadObjectValue(head.Values[3]);
  if (head.MemberCount >= 5) vtagName = LowerCase(head.Keys[4]);

  if (vTypeObject == TTypeObject::toDataset) {
    if (!value.empty() && value.front() == '[') value.erase(0, 1);
    if (!value.empty() && value.back() == ']') value.pop_back();
  }
  if (IsBinaryKindWithBytes(vObjectValue)) {
    // The base64 text becomes the raw bytes themselves.
    aValue = DecodeClientBinary(value, "parâmetro " + UpperCase(vtagName));
    return;
  }
  if (vEncoded) value = DecodeClientText(value, "parâmetro " + UpperCase(vtagName));
  SetValue(value, vEncoded);
}

}  // namespace livrexa
