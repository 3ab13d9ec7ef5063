#include "support/dataset_rows.h"

#include <gtest/gtest.h>

#include "rest/params/json_value.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa::test {

TCell Day(int year, int month, int day) {
  return TCell(EncodeDate(year, month, day));
}

TRows::TRows(const std::vector<TColumn>& columns) {
  for (const TColumn& column : columns) table_.AddFieldDef(column.name, column.type, column.size);
  table_.CreateDataSet();
}

TRows& TRows::Row(const std::vector<TCell>& cells) {
  table_.Append();
  for (size_t i = 0; i < cells.size() && i < table_.FieldCount(); ++i) {
    const TFieldValue& value = cells[i].Value();
    const TValueClass kind = ValueClassOf(table_.FieldDef(i).DataType);
    if (const auto* bytes = std::get_if<std::string>(&value); bytes && kind == TValueClass::Bytes)
      table_.SetBytes(i, *bytes);
    else if (const auto* number = std::get_if<double>(&value); number && kind == TValueClass::DateTime)
      table_.SetDateTime(i, *number);
    else
      table_.SetValue(i, value);
  }
  table_.Post();
  return *this;
}

std::string TRows::Text() {
  TJSONValue value;
  value.LoadFromDataset("temp", table_, true, TJsonMode::jmDataware);
  return value.ToJSON();
}

TFDMemTable ReadRows(const std::optional<std::string>& tabela) {
  TFDMemTable table;
  EXPECT_TRUE(tabela.has_value()) << "no dataset text";
  if (tabela) TJSONValue().WriteToDataset(TDatasetType::dtFull, *tabela, table, true);
  return table;
}

std::vector<std::string> ColumnTexts(TFDMemTable& table, const std::string& name) {
  std::vector<std::string> texts;
  for (table.First(); !table.Eof(); table.Next()) texts.push_back(table.AsString(name));
  return texts;
}

}  // namespace livrexa::test
