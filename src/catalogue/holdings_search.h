#pragma once
// How the collection search writes a search text into its statement.

#include <string>
#include <string_view>

namespace livrexa {

// A like pattern as an SQL literal that the engine reads back as exactly that pattern, whatever
// it holds: between single quotes with every single quote doubled (the only escape the engine
// knows). Malformed UTF-8 is read as U+FFFD, as everywhere else in the server. A pattern with a
// NUL character is written as a UTF8 hex literal, because the statement text ends at a NUL. A
// pattern too long for one literal loses its repeated "%" (the same pattern) and, if it is
// still too long, it asks for more characters than any text column holds and becomes a pattern
// that matches nothing. So does a pattern whose fixed start (before its first wildcard) is longer
// than any column the search compares: the engine would look that start up as an index key.
std::string SqlPatternLiteral(std::string_view pattern);

// The text with every letter in upper case, as the engine's Upper() writes it.
std::string UpperCaseText(std::string_view text);

}  // namespace livrexa
