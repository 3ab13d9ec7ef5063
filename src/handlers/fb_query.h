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
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "handlers/fb_connection.h"
#include "handlers/fb_param.h"
#include "handlers/fb_run_mode.h"
#include "handlers/fb_sql_text.h"
#include "rest/dataset/packed_rows.h"
#include "rest/dataset/row_set.h"

namespace livrexa {

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
