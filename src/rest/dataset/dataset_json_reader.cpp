#include "rest/dataset/dataset_json.h"

// The parser's string and blank scans 16 bytes at a time. Only this file parses in place, on a
// buffer with room behind the text (CleanText), so no scan reads outside its allocation.
#define RAPIDJSON_SSE2
#include <rapidjson/document.h>
#include <rapidjson/error/en.h>

#include <algorithm>
#include <vector>

#include "rest/dataset/detail/dataset_text_format.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

using enum TFieldType;

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
  const std::string name(Trim(MemberText(column, kColumnField)));
  if (name.empty() || dest.FindField(name) >= 0) return;
  const TFieldType type = ReadColumnType(MemberText(column, kColumnType));
  int size = DefaultSize(type);
  int precision = 0;
  // A new decimal holds 4 digits after the point; "Size" gives its total digits.
  if (type == ftFMTBcd || type == ftBCD) precision = 4;
  if (MemberAt(column, kColumnSize)) {
    const int written = StrToInt(MemberText(column, kColumnSize));
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
  if (UpperCase(Trim(MemberText(column, kColumnPrimary))) != kFlagSet) return;
  const int field = dest.FindField(Trim(MemberText(column, kColumnField)));
  if (field < 0) return;
  dest.SetKeyField(static_cast<size_t>(field));
  if (column.MemberCount() > kColumnReadOnly && MemberText(column, kColumnAutogeneration) == kFlagSet)
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

// The text's columns and lines arrays, or null when the text has not got them.
struct TDatasetParts {
  const JsonValue* columns = nullptr;
  const JsonValue* lines = nullptr;
};

// Only a text that opens an object or an array is parsed; anything else reads as an empty object.
// Parsed in place: strings and numbers stay in the text's own buffer, which lives until the rows
// are built. A text that is no object with members closes the destination and fails.
void ParseInPlace(std::string& clean, JsonDocument& doc, TFDMemTable& dest) {
  const size_t first = clean.find_first_not_of(" \t\r\n");
  if (first == std::string::npos || (clean[first] != '{' && clean[first] != '[')) {
    dest.Close();
    InvalidData();
  }
  doc.ParseInsitu<rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag>(clean.data());
  if (doc.HasParseError()) {
    throw LivrexaError("Invalid JSON text at byte offset " + std::to_string(doc.GetErrorOffset()) + ": " +
                       rapidjson::GetParseError_En(doc.GetParseError()));
  }
  if (!doc.IsObject() || doc.MemberCount() == 0) {
    dest.Close();
    InvalidData();
  }
}

// The opening members by position: type object, direction, encoded flag, kind, then the table's
// key with its [header, lines] array. Without columns and lines the destination is closed and
// the text fails.
TDatasetParts FindParts(const JsonDocument& doc, TFDMemTable& dest) {
  const JsonValue* body = MemberAt(doc, 4);
  const JsonValue* header = body && body->IsArray() && body->Size() >= 2 ? &(*body)[0] : nullptr;
  const JsonValue* linesObject = header ? &(*body)[1] : nullptr;
  TDatasetParts parts;
  parts.columns = header ? MemberAt(*header, 0) : nullptr;
  parts.lines = linesObject ? MemberAt(*linesObject, 0) : nullptr;
  if (!parts.columns || !parts.columns->IsArray() || !parts.lines || !parts.lines->IsArray()) {
    dest.Close();
    InvalidData();
  }
  return parts;
}

TDatasetTextHead ReadHead(const JsonDocument& doc) {
  TDatasetTextHead head;
  head.TypeObject = ReadTypeObject(MemberText(doc, 0));
  head.Direction = ReadDirection(MemberText(doc, 1));
  head.Encoded = ReadEncoded(MemberText(doc, 2));
  head.ObjectValue = ReadObjectValue(MemberText(doc, 3));
  const auto& tag = (doc.MemberBegin() + 4)->name;
  head.TagName = LowerCase(std::string_view(tag.GetString(), tag.GetStringLength()));
  return head;
}

// The destination rebuilt with the definitions of the columns, then their key marks.
void DefineTable(TFDMemTable& dest, const JsonValue& columns) {
  dest.Close();
  dest.ClearFieldDefs();
  for (const JsonValue& column : columns.GetArray()) DefineColumn(dest, column);
  dest.CreateDataSet();
  if (!dest.Active()) throw LivrexaError("Error on Parse JSON Data...");
  for (const JsonValue& column : columns.GetArray()) MarkColumn(dest, column);
}

// Each field reads the line element at the position of the first column of its name; `needed`
// becomes the number of elements a line must have.
std::vector<size_t> ElementPositions(const TFDMemTable& dest, const JsonValue& columns, size_t& needed) {
  const size_t fieldCount = dest.FieldCount();
  std::vector<size_t> position(fieldCount);
  needed = 0;
  for (size_t f = 0; f < fieldCount; ++f) {
    for (size_t c = 0; c < columns.Size(); ++c) {
      if (SameText(Trim(MemberText(columns[static_cast<rapidjson::SizeType>(c)], kColumnField)),
                   dest.FieldDef(f).Name)) {
        position[f] = c;
        needed = std::max(needed, c + 1);
        break;
      }
    }
  }
  return position;
}

// Appends a row per line, calling the options' row callback after each.
void ReadLines(TFDMemTable& dest, const JsonValue& lines, const std::vector<size_t>& position, size_t needed,
               bool encoded, const TDatasetReadOptions& options) {
  const size_t fieldCount = dest.FieldCount();
  std::vector<TFieldType> types(fieldCount);
  bool anyReadOnly = false;  // the table's own definitions are never read-only, but a mark is kept
  for (size_t f = 0; f < fieldCount; ++f) {
    types[f] = dest.FieldDef(f).DataType;
    anyReadOnly = anyReadOnly || dest.FieldDef(f).ReadOnly;
  }

  const int lastLine = static_cast<int>(lines.Size()) - 1;
  dest.ReserveRows(lines.Size());
  int recNo = 0;
  for (const JsonValue& line : lines.GetArray()) {
    const JsonValue* values = MemberAt(line, 0);
    if (!values || !values->IsArray() || values->Size() < needed) InvalidData();
    dest.Append();
    try {
      for (size_t f = 0; f < fieldCount; ++f) {
        const JsonValue& element = (*values)[static_cast<rapidjson::SizeType>(position[f])];
        if (anyReadOnly) {
          ReadOnlySetAside aside(dest, f);
          ReadElement(dest, f, types[f], element, encoded, options.Utf8SpecialChars);
        } else {
          ReadElement(dest, f, types[f], element, encoded, options.Utf8SpecialChars);
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
}

}  // namespace

void ReadDatasetText(std::string_view text, TFDMemTable& dest, const TDatasetReadOptions& options) {
  std::string clean = CleanText(text);
  if (clean.empty() || clean.find('[') == std::string::npos) return;

  // The tree's nodes come from chunks of about half the text's size (a text of thousands of rows
  // then takes a few chunks, not hundreds); pages of a chunk that no node reaches are never touched.
  rapidjson::MemoryPoolAllocator<> nodes(std::max<size_t>(64 * 1024, clean.size() / 2));
  JsonDocument doc(&nodes);
  ParseInPlace(clean, doc, dest);
  const TDatasetParts parts = FindParts(doc, dest);
  const TDatasetTextHead head = ReadHead(doc);
  if (options.OnHead) options.OnHead(head);

  DefineTable(dest, *parts.columns);
  size_t needed = 0;
  const std::vector<size_t> position = ElementPositions(dest, *parts.columns, needed);
  ReadLines(dest, *parts.lines, position, needed, head.Encoded, options);
  dest.First();
}

}  // namespace livrexa
