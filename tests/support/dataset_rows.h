#pragma once
// Dataset texts from typed values, and replies read back into tables, for the end-to-end tests:
// the rows a test sends are written by the server's own dataset writer, so no test hand-encodes
// dataset JSON, and what a reply holds is read the way a client reads it.
//
//   const std::string tabela = TRows({{"T05_NumAutor", ftInteger}, {"T05_Autor", ftString, 150}})
//                                  .Row({0, "Machado de Assis"})
//                                  .Text();

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "rest/dataset/mem_table.h"
#include "rest/wire/field_types.h"

namespace livrexa::test {

// One value of a row: null, a boolean, an integer, a float, a text (or the bytes of a blob),
// or a day made with Day().
class TCell {
 public:
  TCell(std::nullptr_t) {}
  TCell(bool value) : value_(value) {}
  TCell(int value) : value_(int64_t{value}) {}
  TCell(int64_t value) : value_(value) {}
  TCell(double value) : value_(value) {}
  TCell(const char* value) : value_(std::string(value)) {}
  TCell(std::string value) : value_(std::move(value)) {}
  const TFieldValue& Value() const { return value_; }

 private:
  TFieldValue value_;
};

// A calendar day as a date cell.
TCell Day(int year, int month, int day);

struct TColumn {
  std::string name;
  TFieldType type;
  int size = 0;
};

class TRows {
 public:
  explicit TRows(const std::vector<TColumn>& columns);
  // Appends a row; the cells follow the columns. A text cell of a blob column is its bytes, a
  // number cell of a date column its day.
  TRows& Row(const std::vector<TCell>& cells);
  // The dataset text of every row, as a client sends it in "Tabela".
  std::string Text();

 private:
  TFDMemTable table_;
};

// The rows of a dataset text (a "Tabela" reply), read back as a client reads them; an absent
// text fails the test and gives an empty table.
TFDMemTable ReadRows(const std::optional<std::string>& tabela);
// One column of every row, as text, in row order.
std::vector<std::string> ColumnTexts(TFDMemTable& table, const std::string& name);

}  // namespace livrexa::test
