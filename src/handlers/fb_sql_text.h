#pragma once
// Named parameters in SQL text. The engine takes positional markers ("?") only, so the command
// replaces every ":name" by "?" and remembers which named parameter each marker stands for.

#include <string>
#include <string_view>
#include <vector>

namespace livrexa {

struct TSqlParamScan {
  // The text for the engine: every ":name" replaced by "?".
  std::string EngineSql;
  // Each distinct name once (spelled as first written), in the order of first appearance.
  std::vector<std::string> Names;
  // For each "?" of EngineSql, in order, the index of its name in Names.
  std::vector<size_t> Markers;
};

// Finds ":name" (a letter or "_" after the colon, then letters, digits, "_" or "$"); names match
// regardless of letter case. Colons inside string literals ('...', q'{...}'), quoted identifiers
// ("...") and comments (-- to the end of the line, /* ... */) are text, not parameters.
TSqlParamScan ScanSqlParams(std::string_view sql);

// The statement's first word in upper case ("SELECT", "UPDATE", ...), after blanks and comments.
std::string FirstSqlKeyword(std::string_view sql);

}  // namespace livrexa
