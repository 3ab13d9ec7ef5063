#include "rest/dataset/dataset_json.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <vector>

#include "rest/dataset/detail/dataset_text_format.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/text_tools.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TFieldType;

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

void AppendColumn(std::string& out, const TFieldDef& def) {
  const auto flag = [&out](bool b) {
    out.push_back('"');
    out += b ? kFlagSet : kFlagClear;
    out.push_back('"');
  };
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
  flag(def.Primary);
  out += ", \"Required\":";
  flag(def.Required);
  out += ", \"Size\":";
  AppendInt(out, size);
  out += ", \"Precision\":";
  AppendInt(out, precision);
  out += ", \"ReadOnly\":";
  flag(def.ReadOnly);
  out += ", \"Autogeneration\":";
  flag(def.AutoInc);
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

}  // namespace

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
  bool linesNonAscii = !IsAscii(std::string_view(out).substr(linesStart));
  if (options.JsonMode == TJsonMode::jmDataware && options.Encoding != TEncodeSelect::esUtf8 &&
      linesNonAscii) {
    const std::string lines = Cp1252ToUtf8(Utf8ToCp1252(std::string_view(out).substr(linesStart)));
    out.resize(linesStart);
    out += lines;
    linesNonAscii = !IsAscii(lines);
  }
  if (nonAscii) *nonAscii = linesNonAscii || !IsAscii(std::string_view(out).substr(0, linesStart));
  rows.First();
  return out;
}

}  // namespace livrexa
