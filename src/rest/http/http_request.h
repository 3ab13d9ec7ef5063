#pragma once
// Engine-side preparation of a request: the items the listener takes from the HTTP engine
// (path and query, the engine's parameter list, form text, Basic credentials) derived from the
// raw request line, headers and body. No HTTP library here.

#include <string>
#include <string_view>
#include <vector>

#include "rest/http/http_types.h"

namespace livrexa {

// Percent-escapes turned into bytes; with plus_is_blank a "+" becomes a blank. A "%" that is not
// followed by two hexadecimal digits is kept as it is.
std::string PercentDecodeBytes(std::string_view text, bool plus_is_blank);

// Bytes that form valid UTF-8 are taken as UTF-8; anything else is read as Windows-1252, the
// clients' single-byte code page.
std::string BytesToText(std::string_view bytes);

// Splits "a=1&b=2" at "&" into decoded "name=value" lines ("+" is a blank); empty items are skipped.
std::vector<std::string> DecodeFormItems(std::string_view text);

// Basic credentials of an Authorization value. Returns false when the scheme is not Basic
// (compared without regard to case). The user is the text before the first ":", the password the rest.
bool DecodeBasicCredentials(std::string_view authorization, std::string& user, std::string& password);

// Fills path, query, content type, parameter list, form text, body stream flag, credentials,
// User-Agent and Referer from request_line/target/headers/body. The body of a form whose bytes
// are all ASCII moves into the form text (the body is then empty). Returns false, before any item is
// decoded, when the headers, query items and form items together are more than max_items (0: no
// limit): each of them may become a parameter.
bool FillDerivedItems(HttpRequest& request, size_t max_items = 0);

}  // namespace livrexa
