#pragma once
#if defined(LIVREXA_NO_ENGINE_HEADERS)
#error "code outside the gateway reaches the database through its public headers only"
#endif
// One run of one statement: prepare, bind the parameters, execute or open, fetch every row
// (reading large objects at once, while the transaction is alive), free the statement.
// Nothing survives the call: no prepared statement is reused between runs.

#include <firebird/Interface.h>

#include <cstdint>
#include <string>
#include <vector>

#include "handlers/gateway/detail/type_map.h"
#include "handlers/gateway/query.h"
#include "rest/dataset/packed_rows.h"
#include "rest/dataset/row_set.h"

namespace livrexa {

struct TFbColumn {
  TFieldDef Def;  // name (the column's alias), type and size; flags are the caller's
  TFbColumnType Type;
  bool Nullable = true;
  std::string Relation;  // the base table, empty for an expression
  std::string Field;     // the base table's column name
};

struct TFbStatementResult {
  bool HasResultSet = false;
  std::vector<TFbColumn> Columns;
  std::vector<std::vector<TFieldValue>> Rows;
  TPackedRows Packed;  // the rows instead, when the caller asked for them packed
  int64_t RowsAffected = 0;
};

// The message a statement without rows gives when opened.
inline constexpr const char* kNoResultSetMessage = "The statement returns no result set";

// Runs the statement in the given transaction. Engine failures throw TFbError; a parameter
// without a value, or opening a statement that returns no rows, throws LivrexaError before the
// statement runs.
// A fetch that holds more than maxFetchBytes of values (0: no limit) stops and fails with
// FetchLimitMessage(maxFetchBytes). With packRows the rows go to Packed, not Rows.
TFbStatementResult RunFbStatement(Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                                  const TSqlParamScan& sql, const std::vector<TFbParam>& params,
                                  TFbRunMode mode, uint64_t maxFetchBytes = 0, bool packRows = false);
std::string FetchLimitMessage(uint64_t maxFetchBytes);

// Days between the engine's date origin (1858-11-17) and the runtime's (1899-12-30).
inline constexpr int kFbDateOffset = 15018;
// Engine time units (1/10000 s) per day.
inline constexpr int64_t kFbTimeUnitsPerDay = 864000000;

}  // namespace livrexa
