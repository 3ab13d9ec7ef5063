#include "rest/dataset/dataset_json.h"

// The parser's string and blank scans 16 bytes at a time. Only this file parses in place, on a
// buffer with room behind the text (CleanText), so no scan reads outside its allocation.
#define RAPIDJSON_SSE2
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TFieldType;

// ---------------------------------------------------------------------------------------------
// Writer helpers

void AppendInt(std::string& out, int64_t value) {
  char buf[24];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  out.append(buf, res.ptr);
}

// base64 of `bytes` appended straight into the text.
void AppendBase64(std::string& out, std::string_view bytes) {
  const size_t start = out.size();
  const size_t encoded = Base64Length(bytes.size());
  // Room for the rest of the text too, so a photo is not copied again by the next append.
  if (out.capacity() < start + encoded) out.reserve(start + encoded + encoded / 8 + 256);
  out.resize(start + encoded);
  EncodeBase64To(out.data() + start, bytes);
}

// FloatToWire(FloatToText(value)) in jmDataware, written straight into the text. The shortest
// digits that read back to the same double, rounded to 15 significant digits, are exactly the
// 15-digit general form of the value (a shortest form cannot straddle a rounding boundary, except
// when it is that boundary: 16 digits ending in 5, left to FloatToText with the subnormal numbers,
// whose shortest form is coarser), laid out the same way:
// fixed notation for exponents -5 to 14, else d.dddE[-]x.
// Writes at p (room for kMaxFloatWire characters) and returns the end.
constexpr size_t kMaxFloatWire = 40;
char* WriteFloatWire(char* p, double value) {
  char buf[40];
  const auto res = std::isfinite(value)
                       ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific)
                       : std::to_chars_result{buf, std::errc::value_too_large};
  const std::string_view sci(buf, res.ec == std::errc() ? static_cast<size_t>(res.ptr - buf) : 0);
  size_t e = 0;
  while (e < sci.size() && sci[e] != 'e') ++e;
  if (e == sci.size()) e = std::string_view::npos;
  char digits[24];
  size_t count = 0;
  for (size_t k = 0; e != std::string_view::npos && k < e; ++k)
    if (sci[k] >= '0' && sci[k] <= '9' && count < sizeof digits) digits[count++] = sci[k];
  const bool subnormal = value != 0 && std::fabs(value) < std::numeric_limits<double>::min();
  if (e == std::string_view::npos || subnormal || count > 17 || (count == 16 && digits[15] == '5')) {
    const char separator = ProcessFormat().DecimalSeparator;
    const std::string text = FloatToText(value);
    for (size_t k = 0; k < text.size() && k < kMaxFloatWire; ++k) *p++ = text[k] == separator ? 'D' : text[k];
    return p;
  }
  int exponent = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  if (count > 15) {
    const bool up = digits[15] >= '5';
    count = 15;
    if (up) {
      size_t k = count;
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0) {
        digits[0] = '1';
        ++exponent;
      } else {
        ++digits[k - 1];
      }
    }
    while (count > 1 && digits[count - 1] == '0') --count;
  }
  auto put = [&p](const char* from, size_t n) {
    std::memcpy(p, from, n);
    p += n;
  };
  if (sci[0] == '-') *p++ = '-';
  if (exponent < -4 || exponent >= 15) {
    *p++ = digits[0];
    if (count > 1) {
      *p++ = 'D';
      put(digits + 1, count - 1);
    }
    *p++ = 'E';
    p = std::to_chars(p, p + 8, exponent).ptr;
  } else if (exponent < 0) {
    put("0D", 2);
    std::memset(p, '0', static_cast<size_t>(-exponent - 1));
    p += -exponent - 1;
    put(digits, count);
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (count <= whole) {
      put(digits, count);
      std::memset(p, '0', whole - count);
      p += whole - count;
    } else {
      put(digits, whole);
      *p++ = 'D';
      put(digits + whole, count - whole);
    }
  }
  return p;
}

void AppendFloatWire(std::string& out, double value) {
  char buf[kMaxFloatWire];
  out.append(buf, WriteFloatWire(buf, value));
}

void AppendHex4(std::string& out, unsigned value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xF]);
}

// The escaping of unencoded text with the special-characters option: the JSON escapes of
// EscapeJSONText, and every character outside printable ASCII as \u with upper-case hex digits
// (characters beyond the basic plane as their surrogate pair).
void AppendEscapedSpecial(std::string& out, std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = NextCodePoint(text, i);
    if (const char* escape = JsonEscapeOf(cp)) {
      out += escape;
      continue;
    }
    if (cp >= 0x20 && cp < 0x7F) {
      out.push_back(static_cast<char>(cp));
    } else if (cp <= 0xFFFF) {
      AppendHex4(out, static_cast<unsigned>(cp));
    } else {
      const unsigned v = static_cast<unsigned>(cp) - 0x10000;
      AppendHex4(out, 0xD800 + (v >> 10));
      AppendHex4(out, 0xDC00 + (v & 0x3FF));
    }
  }
}

// A date-time written with a format of day, month, year, hour, minute, second and millisecond
// letters (d dd m mm yy yyyy h hh n nn s ss z zzz; "m" after an hour means minutes), "/" and ":"
// as the process separators, and text in single or double quotes copied as it is.
std::string FormatDateTimeText(std::string_view format, TDateTime value) {
  const TFormatSettings& fs = ProcessFormat();
  const TDateTimeParts p = DecodeDateTime(value);
  std::string out;
  bool lastWasHour = false;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c) ++n;
    return n;
  };
  auto number = [&](int v, size_t width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", static_cast<int>(width), v);
    out += buf;
  };
  while (i < format.size()) {
    const char c = format[i];
    const char lower = static_cast<char>(c | 0x20);
    if (c == '\'' || c == '"') {
      const size_t end = format.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
      continue;
    }
    size_t n = 0;
    switch (lower) {
      case 'y':
        n = run('y');
        number(n <= 2 ? p.year % 100 : p.year, n <= 2 ? 2 : 4);
        break;
      case 'd':
        n = run('d');
        number(p.day, std::min<size_t>(n, 2));
        break;
      case 'm':
        n = run('m');
        number(lastWasHour ? p.minute : p.month, std::min<size_t>(n, 2));
        break;
      case 'h':
        n = run('h');
        number(p.hour, std::min<size_t>(n, 2));
        break;
      case 'n':
        n = run('n');
        number(p.minute, std::min<size_t>(n, 2));
        break;
      case 's':
        n = run('s');
        number(p.second, std::min<size_t>(n, 2));
        break;
      case 'z':
        n = run('z');
        number(p.millisecond, n >= 3 ? 3 : 1);
        break;
      default:
        n = 1;
        out.push_back(c == '/' ? fs.DateSeparator : c == ':' ? fs.TimeSeparator : c);
    }
    if (lower != ' ' && lower != ':') lastWasHour = lower == 'h';
    i += n;
  }
  return out;
}

void AppendColumn(std::string& out, const TFieldDef& def) {
  auto flag = [](bool b) { return b ? "\"S\"" : "\"N\""; };
  int size = def.Size;
  int precision = 0;
  switch (def.DataType) {
    case ftBCD:
    case ftFMTBcd:
      // Total digits, then digits after the point.
      size = def.Size;
      precision = def.Precision;
      break;
    case ftFloat:
    case ftCurrency:
    case ftExtended:
    case ftSingle:
      // Display precision, then the field's size.
      size = def.Precision > 0 ? def.Precision : 15;
      precision = def.Size;
      break;
    default:
      break;
  }
  out += "{\"Field\":\"";
  out += def.Name;
  out += "\", \"Type\":\"";
  out += def.DataType == ftExtended ? std::string_view("ftFloat") : FieldTypeName(def.DataType);
  out += "\", \"Primary\":";
  out += flag(def.Primary);
  out += ", \"Required\":";
  out += flag(def.Required);
  out += ", \"Size\":";
  AppendInt(out, size);
  out += ", \"Precision\":";
  AppendInt(out, precision);
  out += ", \"ReadOnly\":";
  out += flag(def.ReadOnly);
  out += ", \"Autogeneration\":";
  out += flag(def.AutoInc);
  out += "}";
}

class ValueWriter {
 public:
  ValueWriter(TRowSet& rows, const TDatasetWriteOptions& options) : rows_(rows), o_(options) {
    const size_t space = options.DateTimeFormat.find(' ');
    datePart_ = options.DateTimeFormat.substr(0, space);
    timePart_ =
        space == std::string::npos ? options.DateTimeFormat : options.DateTimeFormat.substr(space + 1);
  }

  void Append(std::string& out, size_t i, const TFieldValue& v, TFieldType type) {
    if (std::holds_alternative<std::monostate>(v)) {
      out += "null";
      return;
    }
    switch (type) {
      case ftSmallint:
      case ftInteger:
      case ftLargeint: {
        const int64_t* n = std::get_if<int64_t>(&v);
        AppendInt(out, n ? *n : rows_.AsLargeInt(i));
        return;
      }
      case ftBoolean: {
        const bool* b = std::get_if<bool>(&v);
        out += (b ? *b : rows_.AsBoolean(i)) ? "true" : "false";
        return;
      }
      case ftFloat:
      case ftCurrency:
      case ftBCD:
      case ftFMTBcd:
      case ftExtended:
      case ftSingle: {
        const double* d = std::get_if<double>(&v);
        const double number = d ? *d : rows_.AsFloat(i);
        out.push_back('"');
        if (o_.JsonMode == TJsonMode::jmPureJSON)
          out += FloatToWire(number, o_.JsonMode, o_.FloatDecimalFormat);
        else
          AppendFloatWire(out, number);
        out.push_back('"');
        return;
      }
      case ftDate:
      case ftTime:
      case ftDateTime:
      case ftTimeStamp:
        AppendDateTime(out, std::holds_alternative<double>(v) ? std::get<double>(v) : rows_.AsDateTime(i),
                       type);
        return;
      case ftMemo:
      case ftFmtMemo:
      case ftWideMemo:
        AppendQuoted(out, i, v, Form::Base64);
        return;
      case ftString:
      case ftFixedChar:
      case ftWideString:
        if (o_.EncodedValue) return AppendQuoted(out, i, v, Form::Base64);
        return AppendQuoted(out, i, v, o_.Utf8SpecialChars ? Form::EscapedSpecial : Form::Escaped);
      case ftBytes:
      case ftVarBytes:
      case ftBlob:
      case ftGraphic:
      case ftOraBlob:
      case ftOraClob:
        AppendQuoted(out, i, v, Form::Base64);
        return;
      default:
        AppendQuoted(out, i, v, Form::AsIs);
        return;
    }
  }

 private:
  enum class Form { Base64, Escaped, EscapedSpecial, AsIs };

  void AppendQuoted(std::string& out, size_t i, const TFieldValue& v, Form form) {
    std::string converted;
    const std::string* text = std::get_if<std::string>(&v);
    if (!text) {
      converted = rows_.AsString(i);
      text = &converted;
    }
    out.push_back('"');
    switch (form) {
      case Form::Base64:
        AppendBase64(out, *text);
        break;
      case Form::Escaped:
        out += EscapeJSONText(*text);
        break;
      case Form::EscapedSpecial:
        AppendEscapedSpecial(out, *text);
        break;
      case Form::AsIs:
        out += *text;
        break;
    }
    out.push_back('"');
  }

  void AppendDateTime(std::string& out, TDateTime value, TFieldType type) {
    out.push_back('"');
    if (o_.DateTimeFormat.empty())
      AppendInt(out, DateTimeToWire(value));
    else if (type == ftDate)
      out += FormatDateTimeText(datePart_, value);
    else if (type == ftTime)
      out += FormatDateTimeText(timePart_, value);
    else
      out += FormatDateTimeText(o_.DateTimeFormat, value);
    out.push_back('"');
  }

  TRowSet& rows_;
  const TDatasetWriteOptions& o_;
  std::string datePart_, timePart_;
};

}  // namespace

bool HasNonAscii(std::string_view text) {
  // 32 bytes per step, high bits gathered without branching: the texts are megabytes long and
  // nearly always pure ASCII.
  constexpr uint64_t kHigh = 0x8080808080808080ULL;
  size_t i = 0;
  for (; i + 32 <= text.size(); i += 32) {
    uint64_t w[4];
    std::memcpy(w, text.data() + i, sizeof w);
    if ((w[0] | w[1] | w[2] | w[3]) & kHigh) return true;
  }
  for (; i < text.size(); ++i)
    if (static_cast<unsigned char>(text[i]) >= 0x80) return true;
  return false;
}

namespace {

// The lines as this server writes them (jmDataware, encoded values, wire numbers for dates),
// each value written straight into room made for its whole line. A value whose representation is
// not the one its type calls for (or of a type without a form here) returns nullptr and goes
// through ValueWriter.
class TLineWriter {
 public:
  static bool Serves(const TDatasetWriteOptions& o) {
    return o.JsonMode == TJsonMode::jmDataware && o.EncodedValue && o.DateTimeFormat.empty();
  }

  // The most characters a value and the separator before it can take.
  static size_t Bound(const TFieldValue& v) {
    if (const auto* text = std::get_if<std::string>(&v)) return Base64Length(text->size()) + 4;
    return kMaxFloatWire + 4;
  }

  static char* Write(char* p, const TFieldValue& v, TFieldType type) {
    if (std::holds_alternative<std::monostate>(v)) return Put(p, "null");
    switch (type) {
      case ftSmallint:
      case ftInteger:
      case ftLargeint: {
        const int64_t* n = std::get_if<int64_t>(&v);
        return n ? std::to_chars(p, p + 24, *n).ptr : nullptr;
      }
      case ftBoolean: {
        const bool* b = std::get_if<bool>(&v);
        return b ? Put(p, *b ? std::string_view("true") : std::string_view("false")) : nullptr;
      }
      case ftFloat:
      case ftCurrency:
      case ftBCD:
      case ftFMTBcd:
      case ftExtended:
      case ftSingle: {
        const double* d = std::get_if<double>(&v);
        if (!d) return nullptr;
        *p++ = '"';
        p = WriteFloatWire(p, *d);
        *p++ = '"';
        return p;
      }
      case ftDate:
      case ftTime:
      case ftDateTime:
      case ftTimeStamp: {
        const double* d = std::get_if<double>(&v);
        if (!d) return nullptr;
        *p++ = '"';
        p = std::to_chars(p, p + 24, DateTimeToWire(*d)).ptr;
        *p++ = '"';
        return p;
      }
      case ftString:
      case ftFixedChar:
      case ftWideString:
      case ftMemo:
      case ftFmtMemo:
      case ftWideMemo:
      case ftBytes:
      case ftVarBytes:
      case ftBlob:
      case ftGraphic:
      case ftOraBlob:
      case ftOraClob: {
        const std::string* text = std::get_if<std::string>(&v);
        if (!text) return nullptr;
        *p++ = '"';
        EncodeBase64To(p, *text);
        p += Base64Length(text->size());
        *p++ = '"';
        return p;
      }
      default:
        return nullptr;
    }
  }

 private:
  static char* Put(char* p, std::string_view text) {
    std::memcpy(p, text.data(), text.size());
    return p + text.size();
  }
};

// One line of the fast path, written at `used` into `out`, whose size stays ahead of `used` as
// room already made (so no line pays for clearing its own); values it does not serve go through
// `general`, which appends to the text cut back to `used`.
void WriteFastLine(std::string& out, size_t& used, int64_t line, const TFieldValue* row,
                   const std::vector<TFieldType>& types, ValueWriter& general) {
  const size_t n = types.size();
  size_t i = 0;
  bool opened = false;
  while (!opened || i < n) {
    size_t room = opened ? 2 : 42;
    for (size_t k = i; k < n; ++k) room += TLineWriter::Bound(row[k]);
    if (out.size() < used + room) out.resize(std::max(used + room, out.size() + out.size() / 2));
    char* p = out.data() + used;
    if (!opened) {
      if (line > 0) *p++ = ',', *p++ = ' ';
      std::memcpy(p, "{\"line", 6);
      p = std::to_chars(p + 6, p + 30, line).ptr;
      *p++ = '"', *p++ = ':', *p++ = '[';
      opened = true;
    }
    for (; i < n; ++i) {
      if (i > 0) *p++ = ',', *p++ = ' ';
      char* end = TLineWriter::Write(p, row[i], types[i]);
      if (!end) break;
      p = end;
    }
    if (i == n) {
      *p++ = ']', *p++ = '}';
      used = static_cast<size_t>(p - out.data());
      return;
    }
    out.resize(static_cast<size_t>(p - out.data()));
    general.Append(out, i, row[i], types[i]);
    used = out.size();
    ++i;
    if (i == n) {
      out += "]}";
      used = out.size();
      return;
    }
  }
}

void WriteLine(std::string& out, int64_t line, const TFieldValue* row, TRowSet& rows,
               const std::vector<TFieldType>& types, const std::vector<std::string>& keys, bool pure,
               ValueWriter& writer);

void WriteLines(std::string& out, TRowSet& rows, const TDatasetWriteOptions& o) {
  const size_t n = rows.FieldCount();
  std::vector<TFieldType> types(n);
  for (size_t i = 0; i < n; ++i) types[i] = rows.FieldDef(i).DataType;
  const bool pure = o.JsonMode == TJsonMode::jmPureJSON;
  std::vector<std::string> keys;
  if (pure) {
    for (size_t i = 0; i < n; ++i) {
      const std::string& name = rows.FieldDef(i).Name;
      keys.push_back("\"" + (o.HeaderLowercase ? LowerCase(name) : name) + "\": ");
    }
  }
  ValueWriter writer(rows, o);
  const size_t linesStart = out.size();
  const size_t total = rows.RecordCount();
  out += "{\"lines\":[";
  const bool fast = TLineWriter::Serves(o) && n > 0;
  size_t used = out.size();  // the end of the text; out may be longer, with room made ahead
  for (int64_t line = 0; !rows.Eof(); rows.Next(), ++line) {
    const TFieldValue* row = rows.CurrentRow();
    if (fast && row) {
      WriteFastLine(out, used, line, row, types, writer);
    } else {
      out.resize(used);
      WriteLine(out, line, row, rows, types, keys, pure, writer);
      used = out.size();
    }
    // Room for all the lines from the average so far, taken again after 1, 16 and 256 lines, so
    // that a short first line does not leave the text to grow by copies.
    if (line == 0 || line == 15 || line == 255) {
      const size_t done = static_cast<size_t>(line) + 1;
      const size_t average = (used - linesStart) / done + 1;
      const size_t want = used + average * (total > done ? total - done : 0) * 9 / 8 + 64;
      if (want > out.capacity()) out.reserve(want);
    }
  }
  out.resize(used);
  out += "]}";
}

void WriteLine(std::string& out, int64_t line, const TFieldValue* row, TRowSet& rows,
               const std::vector<TFieldType>& types, const std::vector<std::string>& keys, bool pure,
               ValueWriter& writer) {
  const size_t n = types.size();
  {
    if (line > 0) out += ", ";
    if (pure) {
      out.push_back('{');
    } else {
      out += "{\"line";
      AppendInt(out, line);
      out += "\":[";
    }
    for (size_t i = 0; i < n; ++i) {
      if (i > 0) out += ", ";
      if (pure) out += keys[i];
      writer.Append(out, i, row ? row[i] : rows.Value(i), types[i]);
    }
    out += pure ? "}" : "]}";
  }
}

// ---------------------------------------------------------------------------------------------
// Reader helpers

using JsonValue = rapidjson::Value;
using JsonDocument = rapidjson::Document;

[[noreturn]] void InvalidData() {
  throw LivrexaError("Invalid JSON Data...");
}

// A string's content, a number as written, "true", "false" or "null"; "" for objects and arrays.
// The view points into the parsed text.
std::string_view ElementView(const JsonValue& v) {
  if (v.IsString()) return std::string_view(v.GetString(), v.GetStringLength());
  if (v.IsNull()) return "null";
  if (v.IsBool()) return v.GetBool() ? "true" : "false";
  return {};
}

std::string ElementText(const JsonValue& v) {
  return std::string(ElementView(v));
}

// The value of an object's member at `index`, or null when it has no such member.
const JsonValue* MemberAt(const JsonValue& object, size_t index) {
  if (!object.IsObject() || index >= object.MemberCount()) return nullptr;
  return &(object.MemberBegin() + static_cast<rapidjson::SizeType>(index))->value;
}

std::string MemberText(const JsonValue& object, size_t index) {
  const JsonValue* v = MemberAt(object, index);
  return v ? ElementText(*v) : std::string();
}

// Bytes past the end of the text that the parser's 16-byte scans may read.
constexpr size_t kScanSlack = 32;

// The sequence U+00EF U+00BB U+00BF (a byte-order mark read as 8-bit text) and a leading
// U+FEFF removed, then every CR LF pair; the result has room for the parser's scans behind it.
std::string CleanText(std::string_view text) {
  static constexpr std::string_view kMisreadBom = "\xC3\xAF\xC2\xBB\xC2\xBF";
  static constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  std::string out;
  out.reserve(text.size() + kScanSlack);
  // The misread mark begins with the byte C3 and a CR LF pair with CR: texts without either
  // (every text this server and its clients write) are copied whole.
  const bool plain =
      text.find('\r') == std::string_view::npos && text.find(kMisreadBom) == std::string_view::npos;
  if (plain) {
    out.append(text);
    return out;
  }
  std::string noBom;
  noBom.reserve(text.size());
  for (size_t pos = 0;;) {
    const size_t hit = text.find(kMisreadBom, pos);
    if (hit == std::string_view::npos) {
      noBom.append(text.substr(pos));
      break;
    }
    noBom.append(text.substr(pos, hit - pos));
    pos = hit + kMisreadBom.size();
  }
  for (size_t i = 0; i < noBom.size(); ++i) {
    if (noBom[i] == '\r' && i + 1 < noBom.size() && noBom[i + 1] == '\n') {
      ++i;
      continue;
    }
    out.push_back(noBom[i]);
  }
  return out;
}

int DefaultSize(TFieldType type) {
  switch (type) {
    case ftString:
    case ftFixedChar:
      return 20;
    case ftFixedWideChar:
      return 40;
    case ftBytes:
    case ftVarBytes:
      return 16;
    default:
      return 0;
  }
}

TFieldType ReadColumnType(std::string_view name) {
  if (SameText(name, "ftBCD")) return ftFMTBcd;
  return ReadFieldTypeName(name);
}

// Adds the definition a column describes (step by step as the format defines it).
void DefineColumn(TFDMemTable& dest, const JsonValue& column) {
  const std::string name(Trim(MemberText(column, 0)));
  if (name.empty() || dest.FindField(name) >= 0) return;
  const TFieldType type = ReadColumnType(MemberText(column, 1));
  int size = DefaultSize(type);
  int precision = 0;
  // A new decimal holds 4 digits after the point; "Size" gives its total digits.
  if (type == ftFMTBcd || type == ftBCD) precision = 4;
  if (MemberAt(column, 4)) {
    const int written = StrToInt(MemberText(column, 4));
    switch (type) {
      case ftFloat:
      case ftCurrency:
      case ftSingle:
        precision = written;
        break;
      default:
        size = written;
        break;
    }
  }
  dest.AddFieldDef(name, type, size, precision);
}

void MarkColumn(TFDMemTable& dest, const JsonValue& column) {
  if (!column.IsObject()) return;
  if (UpperCase(Trim(MemberText(column, 2))) != "S") return;
  const int field = dest.FindField(Trim(MemberText(column, 0)));
  if (field < 0) return;
  dest.SetKeyField(static_cast<size_t>(field));
  if (column.MemberCount() > 6 && MemberText(column, 7) == "S")
    dest.SetAutoInc(static_cast<size_t>(field), true);
}

bool IsBlobType(TFieldType t) {
  switch (t) {
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftCursor:
    case ftDataSet:
    case ftOraBlob:
    case ftOraClob:
    case ftParams:
    case ftStream:
      return true;
    default:
      return false;
  }
}

// The field's name for the message of a value that is not base64, made only when one fails.
std::string FieldWhat(const TFieldDef& def) {
  return "campo " + def.Name;
}

// Writes one line element into field i of the row being appended.
void ReadElement(TFDMemTable& dest, size_t i, TFieldType type, const JsonValue& element, bool encoded,
                 bool specialChars) {
  if (element.IsNull()) return;
  std::string_view text = ElementView(element);
  if (text == "null") text = {};
  if (IsBlobType(type)) {
    if (text.empty()) return;
    std::string bytes;
    if (!TryDecodeCleanBase64(text, bytes)) bytes = DecodeClientBinary(text, FieldWhat(dest.FieldDef(i)));
    return dest.SetBytes(i, std::move(bytes));
  }
  if (SameText(text, "null")) return;
  switch (type) {
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftFixedChar:
    case ftWideString:
    case ftGuid:
    case ftWideMemo: {
      if (text.empty()) return dest.SetText(i, text);
      const bool memo = type == ftMemo || type == ftFmtMemo || type == ftWideMemo;
      if ((encoded || memo) && type != ftGuid) {
        std::string decoded;
        if (TryDecodeCleanBase64(text, decoded))
          decoded = SanitizeUtf8(std::move(decoded));
        else
          decoded = DecodeClientText(text, FieldWhat(dest.FieldDef(i)));
        return dest.TakeText(i, std::move(decoded));
      }
      if (!specialChars) return dest.SetText(i, text);
      return dest.TakeText(i, UnescapeJSONText(text));
    }
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLongWord:
    case ftByte:
      if (text.empty()) return;
      return dest.SetInteger(i, StrToInt(Trim(text)));
    case ftLargeint:
      if (text.empty()) return;
      return dest.SetInteger(i, StrToInt64(Trim(text)));
    case ftBoolean:
      if (text.empty()) return;
      return dest.SetBoolean(i, text == "1" || (text != "0" && SameText(text, "true")));
    case ftFloat:
    case ftCurrency:
    case ftExtended:
    case ftSingle:
    case ftBCD:
    case ftFMTBcd:
      if (text.empty()) return;
      return dest.SetFloat(i, WireToFloat(Trim(text)));
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp: {
      const int64_t seconds = StrToInt64(text);
      if (seconds > 0) dest.SetDateTime(i, WireToDateTime(seconds));
      return;
    }
    default:
      return;
  }
}

// Lets the reader write a read-only field, restoring the mark afterwards (also on failure).
class ReadOnlySetAside {
 public:
  ReadOnlySetAside(TFDMemTable& table, size_t index)
      : table_(table), index_(index), was_(table.FieldDef(index).ReadOnly) {
    if (was_) table_.SetReadOnly(index_, false);
  }
  ~ReadOnlySetAside() {
    if (was_) table_.SetReadOnly(index_, true);
  }
  ReadOnlySetAside(const ReadOnlySetAside&) = delete;
  ReadOnlySetAside& operator=(const ReadOnlySetAside&) = delete;

 private:
  TFDMemTable& table_;
  size_t index_;
  bool was_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------

std::string WriteDatasetText(TRowSet& rows, const TDatasetWriteOptions& options, bool* nonAscii) {
  if (!rows.Active()) {
    auto* table = dynamic_cast<TFDMemTable*>(&rows);
    if (!table) throw LivrexaError("Cannot perform this operation on a closed dataset");
    table->Open();
  }
  rows.First();
  std::string out = "{\"fields\":[";
  const size_t columnsStart = out.size();
  for (size_t i = 0; i < rows.FieldCount(); ++i) {
    if (i > 0) out += ", ";
    AppendColumn(out, rows.FieldDef(i));
  }
  if (options.HeaderLowercase) {
    for (size_t i = columnsStart; i < out.size(); ++i)
      if (out[i] >= 'A' && out[i] <= 'Z') out[i] = static_cast<char>(out[i] + ('a' - 'A'));
  }
  out += "], \"buildside\":\"D\"}, ";
  const size_t linesStart = out.size();
  try {
    WriteLines(out, rows, options);
  } catch (...) {
    rows.First();
    throw;
  }
  bool linesNonAscii = HasNonAscii(std::string_view(out).substr(linesStart));
  if (options.JsonMode == TJsonMode::jmDataware && options.Encoding != TEncodeSelect::esUtf8 &&
      linesNonAscii) {
    const std::string lines = Cp1252ToUtf8(Utf8ToCp1252(std::string_view(out).substr(linesStart)));
    out.resize(linesStart);
    out += lines;
    linesNonAscii = HasNonAscii(lines);
  }
  if (nonAscii) *nonAscii = linesNonAscii || HasNonAscii(std::string_view(out).substr(0, linesStart));
  rows.First();
  return out;
}

std::string UnescapeJSONText(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  auto hex4 = [&](size_t at, unsigned& value) {
    if (at + 4 > text.size()) return false;
    value = 0;
    for (size_t k = at; k < at + 4; ++k) {
      const char c = text[k];
      unsigned digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
      value = value * 16 + digit;
    }
    return true;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out.push_back(c);
      continue;
    }
    const char e = text[++i];
    switch (e) {
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u': {
        unsigned unit;
        if (!hex4(i + 1, unit))
          throw LivrexaError("Invalid unicode \\u" + std::string(text.substr(i + 1, 4)));
        i += 4;
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          unsigned low;
          if (i + 2 < text.size() && text[i + 1] == '\\' && text[i + 2] == 'u' && hex4(i + 3, low) &&
              low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          } else {
            cp = 0xFFFD;
          }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
          cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
        break;
      }
      default:
        out.push_back(e);
    }
  }
  return out;
}

void ReadDatasetText(std::string_view text, TFDMemTable& dest, const TDatasetReadOptions& options) {
  std::string clean = CleanText(text);
  if (clean.empty() || clean.find('[') == std::string::npos) return;

  // Only a text that opens an object or an array is parsed; anything else reads as an empty object.
  const size_t first = clean.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || (clean[first] != '{' && clean[first] != '[')) {
    dest.Close();
    InvalidData();
  }
  // Parsed in place: strings and numbers stay in the text's own buffer, which lives until the
  // rows are built.
  // The tree's nodes come from chunks of about half the text's size (a text of thousands of rows
  // then takes a few chunks, not hundreds); pages of a chunk that no node reaches are never touched.
  rapidjson::MemoryPoolAllocator<> nodes(std::max<size_t>(64 * 1024, clean.size() / 2));
  JsonDocument doc(&nodes);
  doc.ParseInsitu<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(clean.data());
  if (doc.HasParseError()) {
    throw LivrexaError("Invalid JSON text at byte offset " + std::to_string(doc.GetErrorOffset()) + ": " +
                       rapidjson::GetParseError_En(doc.GetParseError()));
  }
  if (!doc.IsObject() || doc.MemberCount() == 0) {
    dest.Close();
    InvalidData();
  }

  // The opening members by position: type object, direction, encoded flag, kind, then the
  // table's key with its [header, lines] array.
  const JsonValue* body = MemberAt(doc, 4);
  const JsonValue* header = body && body->IsArray() && body->Size() >= 2 ? &(*body)[0] : nullptr;
  const JsonValue* linesObject = header ? &(*body)[1] : nullptr;
  const JsonValue* columns = header ? MemberAt(*header, 0) : nullptr;
  const JsonValue* lines = linesObject ? MemberAt(*linesObject, 0) : nullptr;
  if (!columns || !columns->IsArray() || !lines || !lines->IsArray()) {
    dest.Close();
    InvalidData();
  }
  TDatasetTextHead head;
  head.TypeObject = ReadTypeObject(MemberText(doc, 0));
  head.Direction = ReadDirection(MemberText(doc, 1));
  head.Encoded = ReadEncoded(MemberText(doc, 2));
  head.ObjectValue = ReadObjectValue(MemberText(doc, 3));
  const auto& tag = (doc.MemberBegin() + 4)->name;
  head.TagName = LowerCase(std::string_view(tag.GetString(), tag.GetStringLength()));
  if (options.OnHead) options.OnHead(head);

  dest.Close();
  dest.ClearFieldDefs();
  for (const JsonValue& column : columns->GetArray()) DefineColumn(dest, column);
  dest.CreateDataSet();
  if (!dest.Active()) throw LivrexaError("Error on Parse JSON Data...");
  for (const JsonValue& column : columns->GetArray()) MarkColumn(dest, column);

  // Each field reads the line element at the position of the first column of its name.
  const size_t fieldCount = dest.FieldCount();
  std::vector<size_t> position(fieldCount);
  size_t needed = 0;
  for (size_t f = 0; f < fieldCount; ++f) {
    for (size_t c = 0; c < columns->Size(); ++c) {
      if (SameText(Trim(MemberText((*columns)[static_cast<rapidjson::SizeType>(c)], 0)),
                   dest.FieldDef(f).Name)) {
        position[f] = c;
        needed = std::max(needed, c + 1);
        break;
      }
    }
  }

  std::vector<TFieldType> types(fieldCount);
  bool anyReadOnly = false;  // the table's own definitions are never read-only, but a mark is kept
  for (size_t f = 0; f < fieldCount; ++f) {
    types[f] = dest.FieldDef(f).DataType;
    anyReadOnly = anyReadOnly || dest.FieldDef(f).ReadOnly;
  }

  const int lastLine = static_cast<int>(lines->Size()) - 1;
  dest.ReserveRows(lines->Size());
  int recNo = 0;
  for (const JsonValue& line : lines->GetArray()) {
    const JsonValue* values = MemberAt(line, 0);
    if (!values || !values->IsArray() || values->Size() < needed) InvalidData();
    dest.Append();
    try {
      for (size_t f = 0; f < fieldCount; ++f) {
        const JsonValue& element = (*values)[static_cast<rapidjson::SizeType>(position[f])];
        if (anyReadOnly) {
          ReadOnlySetAside aside(dest, f);
          ReadElement(dest, f, types[f], element, head.Encoded, options.Utf8SpecialChars);
        } else {
          ReadElement(dest, f, types[f], element, head.Encoded, options.Utf8SpecialChars);
        }
      }
      dest.Post();
    } catch (...) {
      dest.Cancel();
      throw;
    }
    bool abort = false;
    if (options.OnWriterProcess) options.OnWriterProcess(dest, ++recNo, lastLine, abort);
    if (abort) break;
  }
  dest.First();
}

}  // namespace livrexa
