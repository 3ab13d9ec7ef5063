#pragma once
// The small text operations every part of the server uses: ASCII case, trimming, searching,
// replacing and the ASCII test. Case mapping is ASCII-only, independent of any C locale.

#include <string>
#include <string_view>

namespace livrexa {

// Letter-case-insensitive comparison of ASCII names.
bool SameText(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);

// Every character up to and including the blank counts as white space.
std::string_view Trim(std::string_view s);
// Only blanks and tabs removed (the optional white space around an HTTP header value).
std::string_view TrimBlanks(std::string_view s);

inline bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}
inline bool Contains(std::string_view text, char c) {
  return text.find(c) != std::string_view::npos;
}
// Contains with the ASCII letters of both texts compared in lower case.
bool ContainsNoCase(std::string_view text, std::string_view part);

// Whether the text begins with the prefix, ASCII letters compared in lower case.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// Every occurrence of `from`, left to right, replaced by `to` (a replacement is not searched again).
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);
// Occurrences of `part` erased until none is left (erasing can join the text into a new one).
void RemoveAll(std::string& text, std::string_view part);

// Whether every byte is below 128: the common case, in which every conversion is a copy.
bool IsAscii(std::string_view bytes);

}  // namespace livrexa
