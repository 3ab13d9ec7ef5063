#pragma once
// How the engine's column types become dataset field types. The whole mapping is the one table
// kFbTypeMap (type_map.cpp); everything else here derives sizes from it.

#include <optional>
#include <span>
#include <string_view>

#include "rest/dataset/row_set.h"
#include "rest/wire/field_types.h"

namespace livrexa {

// A column as the engine describes it (IMessageMetadata).
struct TFbColumnType {
  unsigned SqlType = 0;  // SQL_VARYING, SQL_LONG, ... without the nullable bit
  int SubType = 0;       // BLOB sub_type (0 binary, 1 text)
  int Scale = 0;         // negative for NUMERIC/DECIMAL
  unsigned Length = 0;   // bytes in the message
  unsigned CharSet = 0;  // character-set id (0 NONE, 1 OCTETS, 4 UTF8, ...)
};

// Which columns of an engine type a row of the table covers.
enum class TFbTypeCase {
  Any,
  Unscaled,    // scale 0: plain integers
  Scaled,      // scale < 0: NUMERIC/DECIMAL stored in that integer type
  Characters,  // text in any character set but OCTETS
  Octets,      // CHARACTER SET OCTETS: raw bytes
  TextBlob,    // BLOB SUB_TYPE TEXT
  BinaryBlob,  // every other BLOB sub_type
};

struct TFbTypeMapping {
  unsigned SqlType;
  TFbTypeCase Case;
  TFieldType FieldType;
  std::string_view EngineName;  // as written in DDL, for messages and tests
};

std::span<const TFbTypeMapping> FbTypeMap();

// The row of the table for a column; nothing for types the table does not know (the gateway has
// the engine describe those as text).
std::optional<TFieldType> FieldTypeOf(const TFbColumnType& column);

// The field definition of a column: type from the table, size in characters for texts (bytes for
// octets), precision and scale for decimals (declaredPrecision from the catalogue when known,
// otherwise the digits the storage type holds), display precision 15 for floats.
TFieldDef DescribeFbColumn(std::string_view name, const TFbColumnType& column, int declaredPrecision = 0);

// Bytes per character of a character set id as the engine counts them in message lengths.
int FbBytesPerChar(unsigned charSet);

}  // namespace livrexa
