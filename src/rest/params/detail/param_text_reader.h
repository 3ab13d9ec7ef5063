#pragma once
// Shared steps of the two readers of a five-member parameter/value text: removing CR LF pairs,
// checking the text is JSON and taking the first members by position, and cutting the value
// text out of the raw text exactly as written (escapes are not decoded).

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace livrexa {

// Every CR LF pair removed in one pass ("\r\r\n\n" leaves "\r\n").
std::string RemoveCrLfPairs(std::string_view text);

// The first members of the root object, in document order. Values (of the first four) are given as
// text: a string's content (escapes decoded), a number as written, "true", "false", "null"; an
// object or array gives an empty text. The fifth value is not kept (CutValueText gives it raw).
struct TJsonHead {
  static constexpr size_t kKept = 5;
  size_t MemberCount = 0;  // members of the root object (0 for an array root or a non-JSON prefix)
  std::array<std::string, kKept> Keys;
  std::array<std::string, kKept> Values;
};

// A text that does not begin with "{" or "[" reads as an empty object and is not parsed.
// Any other text must be one complete JSON value; otherwise a LivrexaError names the byte offset.
TJsonHead ReadJsonHead(std::string_view text);

// The value text of the fifth member, cut from the raw text: after the first `"ValueType":"`,
// from the next colon on, without that colon and one opening double quote, up to (not including)
// the last closing brace, without one trailing double quote. A text without that marker or colon,
// or with nothing but the closing brace left, gives an empty text.
std::string_view CutValueText(std::string_view raw);

}  // namespace livrexa
