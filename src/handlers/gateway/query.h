#pragma once
// The handler module's SQL command (Query1): text built line by line, named parameters, and an
// open result held whole in memory as a row set that the dataset writer serializes directly.
//
//   query.SetSql({"Select T01_NumUsuario From T01_USUARI ",
//                 "Where T01_Usuario = :p00 "});
//   query.ParamByName("p00").SetAsString(name);
//   query.Open();
//   if (!query.Eof()) number = query.AsInteger("T01_NumUsuario");

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "handlers/gateway/connection.h"
#include "rest/dataset/packed_rows.h"
#include "rest/dataset/row_set.h"
#include "rest/wire/field_types.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {

// Named parameters in SQL text. The engine takes positional markers ("?") only, so the command
// replaces every ":name" by "?" and remembers which named parameter each marker stands for.
struct TSqlParamScan {
  // The text for the engine: every ":name" replaced by "?".
  std::string EngineSql;
  // Each distinct name once (spelled as first written), in the order of first appearance.
  std::vector<std::string> Names;
  // For each "?" of EngineSql, in order, the index of its name in Names.
  std::vector<size_t> Markers;
};

// Finds ":name" (a letter or "_" after the colon, then letters, digits, "_" or "$"); names match
// regardless of letter case. Colons inside string literals ('...', q'{...}'), quoted identifiers
// ("...") and comments (-- to the end of the line, /* ... */) are text, not parameters.
TSqlParamScan ScanSqlParams(std::string_view sql);

// The statement's first word in upper case ("SELECT", "UPDATE", ...), after blanks and comments.
std::string FirstSqlKeyword(std::string_view sql);

// One named parameter of the command: a type and a value, or a typed null.
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

// How a statement is run: for its rows, or for its effect.
enum class TFbRunMode {
  Open,     // the statement must return rows (a select, or a change with RETURNING)
  Execute,  // rows, if any, are discarded
};

// The command's text as lines. Any change closes the command and rebuilds its parameter list.
class TSqlLines {
 public:
  explicit TSqlLines(std::function<void()> onChange) : onChange_(std::move(onChange)) {}
  void Clear();
  void Add(std::string_view line);
  void SetText(std::string_view text);  // one line, or several separated by line breaks
  void Assign(std::initializer_list<std::string_view> lines);
  // The lines joined by line breaks: the statement the engine receives.
  std::string Text() const;
  size_t Count() const { return lines_.size(); }
  const std::string& operator[](size_t index) const { return lines_.at(index); }

 private:
  std::vector<std::string> lines_;
  std::function<void()> onChange_;
};

class TFbQuery : public TRowSet {
 public:
  explicit TFbQuery(TFbConnection& connection);
  TFbQuery(const TFbQuery&) = delete;
  TFbQuery& operator=(const TFbQuery&) = delete;

  TSqlLines SQL;

  // Closes the command and makes these lines its whole text (conditional lines are added after
  // it with SQL.Add):
  //   query.SetSql({"Select T05_NumAutor From T05_AUTOR1 ",
  //                 "Where T05_Exclusao is Null "});
  void SetSql(std::initializer_list<std::string_view> lines);

  // Ends the open result, if any.
  void Close();

  // The parameters named in the text: each distinct name once, in order of first appearance.
  size_t ParamCount();
  // By position; beyond the list fails with "List index out of bounds (<index>)".
  TFbParam& Params(size_t index);
  // By name without the colon, letter case ignored; an unknown name fails with
  // "Parameter '<name>' not found".
  TFbParam& ParamByName(std::string_view name);

  // Runs a statement that returns rows (a select, or a change with RETURNING), fetches every
  // row and stands on the first. A statement that returns no rows fails before it runs.
  void Open();
  // The same on another connection of the module (another user's attachment, with its own rights).
  void OpenOn(TFbConnection& connection);
  // Rows fetched by one Open may hold at most this many bytes of values (0: no limit); beyond it
  // the fetch stops and fails with a message.
  uint64_t MaxFetchBytes = 0;
  // Runs a statement; rows it may return are discarded.
  void ExecSQL();
  // Rows the last statement changed (or fetched).
  int64_t RowsAffected() const { return rowsAffected_; }

  // ---- the row set ----
  bool Active() const override { return active_; }
  size_t FieldCount() const override { return fields_.size(); }
  const TFieldDef& FieldDef(size_t index) const override;
  size_t RecordCount() const override { return rows_.Count(); }
  void First() override;
  void Next() override;
  bool Eof() const override { return eof_; }
  const TFieldValue& Value(size_t index) const override;
  const TFieldValue* CurrentRow() const override { return rows_.Empty() ? nullptr : row_.data(); }

  // A large object field: its size in bytes and its bytes (nothing for null).
  size_t BlobSize(size_t index) const;
  size_t BlobSize(std::string_view name) const { return BlobSize(FieldIndex(name)); }
  void SaveToStream(size_t index, std::ostream& stream) const;
  void SaveToStream(std::string_view name, std::ostream& stream) const {
    SaveToStream(FieldIndex(name), stream);
  }

 private:
  void TextChanged();
  void RebuildParams();
  void Run(TFbRunMode mode, TFbConnection& connection);

  TFbConnection& connection_;
  bool paramsStale_ = true;
  TSqlParamScan scan_;
  std::vector<TFbParam> params_;

  bool active_ = false;
  std::vector<TFieldDef> fields_;
  // Every fetched row, packed; the current one unpacked in row_.
  TPackedRows rows_;
  std::vector<TFieldValue> row_;
  size_t current_ = 0;
  bool eof_ = true;
  int64_t rowsAffected_ = 0;
};

}  // namespace livrexa
