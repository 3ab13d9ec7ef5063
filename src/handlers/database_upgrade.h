#pragma once
// Brings a database up to what this server needs before it serves it, only ever adding: the
// read-only user's SELECT rights (and, on a Firebird server, the user itself) and the indexes of
// db/schema.sql that the database lacks, compared by table and columns rather than by name, with
// fresh index statistics when one was added. Tables, columns and rows are never touched, so a
// database the field made without this server's additions serves as well as one made by
// scripts/create-db.sh.

#include <string>
#include <vector>

namespace livrexa {

class TFbConnection;

// One index as db/schema.sql declares it: columns, or the expression of a COMPUTED BY index.
struct TSchemaIndex {
  std::string name;
  std::string table;
  std::vector<std::string> columns;
  std::string expression;  // "Upper(T09_Cutter)"; empty for a column index
  bool unique = false;
  bool descending = false;
};

// The CREATE INDEX statements of a schema script, in order.
std::vector<TSchemaIndex> SchemaIndexes(const std::string& script);
// Those of the schema compiled into the server.
const std::vector<TSchemaIndex>& ServerSchemaIndexes();

// Runs on a connection of its own (the caller's, as SYSDBA); `serverDatabase` adds the read-only
// user to the Firebird server's users. Returns what was done, one log entry a step, or the one line
// that says nothing was needed. Never throws for what the engine refuses: that becomes a warning
// entry ("*** Aviso: ..."), and the database serves as it is.
std::vector<std::string> UpgradeDatabase(TFbConnection& connection, bool serverDatabase);

}  // namespace livrexa
