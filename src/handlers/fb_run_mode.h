#pragma once
// How a statement is run: for its rows, or for its effect.

namespace livrexa {

enum class TFbRunMode {
  Open,     // the statement must return rows (a select, or a change with RETURNING)
  Execute,  // rows, if any, are discarded
};

}  // namespace livrexa
