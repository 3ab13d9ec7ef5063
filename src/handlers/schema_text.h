#pragma once
// The text of db/schema.sql, compiled into the server.

namespace livrexa {

extern const char* const kSchemaSql;

}  // namespace livrexa
