#include "handlers/gateway/detail/type_map.h"

#include <ibase.h>

#include <array>

namespace livrexa {

namespace {

constexpr unsigned kCharSetOctets = 1;

using enum TFieldType;
using enum TFbTypeCase;

// The mapping of the engine's types onto field types. First matching row wins.
constexpr std::array<TFbTypeMapping, 18> kFbTypeMap = {{
    {SQL_VARYING, Characters, ftString, "VARCHAR"},
    {SQL_VARYING, Octets, ftVarBytes, "VARCHAR CHARACTER SET OCTETS"},
    {SQL_TEXT, Characters, ftFixedChar, "CHAR"},
    {SQL_TEXT, Octets, ftBytes, "CHAR CHARACTER SET OCTETS"},
    {SQL_SHORT, Unscaled, ftSmallint, "SMALLINT"},
    {SQL_SHORT, Scaled, ftFMTBcd, "NUMERIC(1..4)"},
    {SQL_LONG, Unscaled, ftInteger, "INTEGER"},
    {SQL_LONG, Scaled, ftFMTBcd, "NUMERIC(5..9)"},
    {SQL_INT64, Unscaled, ftLargeint, "BIGINT"},
    {SQL_INT64, Scaled, ftFMTBcd, "NUMERIC(10..18)"},
    {SQL_FLOAT, Any, ftFloat, "FLOAT"},
    {SQL_DOUBLE, Any, ftFloat, "DOUBLE PRECISION"},
    {SQL_TYPE_DATE, Any, ftDate, "DATE"},
    {SQL_TYPE_TIME, Any, ftTime, "TIME"},
    {SQL_TIMESTAMP, Any, ftDateTime, "TIMESTAMP"},
    {SQL_BOOLEAN, Any, ftBoolean, "BOOLEAN"},
    {SQL_BLOB, TextBlob, ftMemo, "BLOB SUB_TYPE TEXT"},
    {SQL_BLOB, BinaryBlob, ftBlob, "BLOB SUB_TYPE BINARY"},
}};

bool CaseMatches(TFbTypeCase c, const TFbColumnType& column) {
  switch (c) {
    case Any:
      return true;
    case Unscaled:
      return column.Scale == 0;
    case Scaled:
      return column.Scale < 0;
    case Characters:
      return column.CharSet != kCharSetOctets;
    case Octets:
      return column.CharSet == kCharSetOctets;
    case TextBlob:
      return column.SubType == 1;
    case BinaryBlob:
      return column.SubType != 1;
  }
  return false;
}

// Decimal digits an integer storage type holds.
int StorageDigits(unsigned sqlType) {
  switch (sqlType) {
    case SQL_SHORT:
      return 4;
    case SQL_LONG:
      return 9;
    default:
      return 18;
  }
}

}  // namespace

std::span<const TFbTypeMapping> FbTypeMap() {
  return kFbTypeMap;
}

std::optional<TFieldType> FieldTypeOf(const TFbColumnType& column) {
  for (const TFbTypeMapping& row : kFbTypeMap)
    if (row.SqlType == column.SqlType && CaseMatches(row.Case, column)) return row.FieldType;
  return std::nullopt;
}

// The connection's character set is UTF8, so every text column arrives in UTF8 except those
// declared OCTETS or NONE, which arrive as bytes.
int FbBytesPerChar(unsigned charSet) {
  switch (charSet) {
    case 3:
      return 3;  // UNICODE_FSS
    case 4:
      return 4;  // UTF8
    default:
      return 1;
  }
}

TFieldDef DescribeFbColumn(std::string_view name, const TFbColumnType& column, int declaredPrecision) {
  TFieldDef def;
  def.Name = std::string(name);
  def.DataType = FieldTypeOf(column).value_or(ftString);
  switch (def.DataType) {
    case ftString:
    case ftFixedChar:
      def.Size = static_cast<int>(column.Length) / FbBytesPerChar(column.CharSet);
      break;
    case ftVarBytes:
    case ftBytes:
      def.Size = static_cast<int>(column.Length);
      break;
    case ftFMTBcd:
      def.Size = declaredPrecision > 0 ? declaredPrecision : StorageDigits(column.SqlType);
      def.Precision = -column.Scale;
      break;
    case ftFloat:
      def.Precision = 15;
      break;
    default:
      break;
  }
  return def;
}

}  // namespace livrexa
