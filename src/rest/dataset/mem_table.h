#pragma once
// The in-memory table: field definitions, rows of typed nullable values and a cursor.
// The "Grava" handler rebuilds one from each dataset text a client sends and reads its rows
// through the TRowSet typed reads; tests and the dataset writer also fill one by hand.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "rest/dataset/row_set.h"

namespace livrexa {

enum class TDataSetState { dsInactive, dsBrowse, dsInsert, dsEdit };

class TFDMemTable final : public TRowSet {
 public:
  // --- Definitions. They change only while the table is closed.
  const std::vector<TFieldDef>& FieldDefs() const { return defs_; }
  // Adds a definition and returns its position.
  size_t AddFieldDef(std::string name, TFieldType type, int size = 0, int precision = 0);
  void ClearFieldDefs();

  // Marks a field as part of the update key; it is then also used in updates and in the
  // search for the row to update.
  void SetKeyField(size_t index);
  void SetAutoInc(size_t index, bool value);
  void SetRequired(size_t index, bool value);
  void SetReadOnly(size_t index, bool value);
  bool InUpdate(size_t index) const { return marks_.at(index).inUpdate; }
  bool InWhere(size_t index) const { return marks_.at(index).inWhere; }

  // --- Opening and closing. Closing discards the rows; the definitions stay.
  // Opens the table empty from its definitions (closing it first). A table without definitions
  // cannot hold rows and stays closed.
  void CreateDataSet();
  // Opens the table empty; fails when it has no definitions.
  void Open();
  void Close();
  bool Active() const override { return state_ != TDataSetState::dsInactive; }
  TDataSetState State() const { return state_; }

  // --- TRowSet.
  size_t FieldCount() const override { return defs_.size(); }
  const TFieldDef& FieldDef(size_t index) const override;
  size_t RecordCount() const override { return rowCount_; }
  void First() override;
  void Next() override;
  bool Eof() const override;
  const TFieldValue& Value(size_t index) const override;
  const TFieldValue* CurrentRow() const override {
    return state_ == TDataSetState::dsBrowse && rowCount_ > 0 ? cells_.data() + current_ * defs_.size()
                                                              : nullptr;
  }

  // --- More cursor moves. RecNo is 1-based, 0 when there is no current row.
  void Last();
  void Prior();
  bool Bof() const { return bof_; }
  size_t RecNo() const;

  // --- Changing rows. Append starts a new row at the end, Edit changes the current one; the
  // setters then write into that row, Post keeps it (checking required fields) and Cancel drops it.
  void Append();
  void Edit();
  void Post();
  void Cancel();
  void Delete();        // removes the current row
  void EmptyDataSet();  // removes every row, keeps the table open
  // Room for this many rows, so appending them moves none.
  void ReserveRows(size_t count) { cells_.reserve(count * defs_.size()); }

  // Setters convert the value to the field's type the way the runtime's fields do: integers are
  // range-checked against their type, fixed-point decimals are rounded to their scale, date fields
  // keep the date part and time fields the time of day. Read-only fields refuse every setter.
  void SetNull(size_t index);
  void SetText(size_t index, std::string_view text);
  // SetText of a text the caller gives up: a text field keeps it without a copy.
  void TakeText(size_t index, std::string text);
  void SetBytes(size_t index, std::string bytes);
  void SetInteger(size_t index, int64_t value);
  void SetBoolean(size_t index, bool value);
  void SetFloat(size_t index, double value);
  void SetDateTime(size_t index, TDateTime value);
  // Dispatches on the alternative held (null, bool, integer, double as a float, string as text).
  void SetValue(size_t index, const TFieldValue& value);

  void SetNull(std::string_view name) { SetNull(FieldIndex(name)); }
  void SetText(std::string_view name, std::string_view text) { SetText(FieldIndex(name), text); }
  void SetBytes(std::string_view name, std::string bytes) { SetBytes(FieldIndex(name), std::move(bytes)); }
  void SetInteger(std::string_view name, int64_t value) { SetInteger(FieldIndex(name), value); }
  void SetBoolean(std::string_view name, bool value) { SetBoolean(FieldIndex(name), value); }
  void SetFloat(std::string_view name, double value) { SetFloat(FieldIndex(name), value); }
  void SetDateTime(std::string_view name, TDateTime value) { SetDateTime(FieldIndex(name), value); }

  // Append, one SetValue per field in field order, Post.
  void AppendRecord(const std::vector<TFieldValue>& values);

 private:
  struct Marks {
    bool inUpdate = true;
    bool inWhere = true;
  };

  void RequireClosed() const;
  void RequireActive() const;
  TFieldValue& EditableValue(size_t index);
  void Store(size_t index, TFieldValue value);
  [[noreturn]] void AccessError(size_t index, std::string_view asType) const;

  std::vector<TFieldDef> defs_;
  std::vector<Marks> marks_;
  // The rows one after the other, FieldCount() values each (definitions do not change while open).
  std::vector<TFieldValue> cells_;
  size_t rowCount_ = 0;
  std::vector<TFieldValue> buffer_;  // the row being appended or edited
  TDataSetState state_ = TDataSetState::dsInactive;
  size_t current_ = 0;  // index of the current row while browsing
  size_t beforeChange_ = 0;
  bool eof_ = true;
  bool bof_ = true;
};

}  // namespace livrexa
