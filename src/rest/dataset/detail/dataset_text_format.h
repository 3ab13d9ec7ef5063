#pragma once
// What the dataset text writer and reader share: the order of a column object's members, the
// letters of its flags, and the text forms of the values the writer builds by hand.

#include <cstddef>
#include <string>
#include <string_view>

#include "rest/wire/wire_numbers.h"

namespace livrexa {

// A column object's members, in the order the writer puts them and the reader takes them.
enum TColumnMember : size_t {
  kColumnField = 0,
  kColumnType = 1,
  kColumnPrimary = 2,
  kColumnRequired = 3,
  kColumnSize = 4,
  kColumnPrecision = 5,
  kColumnReadOnly = 6,
  kColumnAutogeneration = 7,
};

// The flags of a column object: "S" set, "N" clear.
inline constexpr std::string_view kFlagSet = "S";
inline constexpr std::string_view kFlagClear = "N";

// FloatToWire(FloatToText(value)) in jmDataware, written straight into the text. The shortest
// digits that read back to the same double, rounded to 15 significant digits, are exactly the
// 15-digit general form of the value (a shortest form cannot straddle a rounding boundary, except
// when it is that boundary: 16 digits ending in 5, left to FloatToText with the subnormal numbers,
// whose shortest form is coarser), laid out the same way:
// fixed notation for exponents -5 to 14, else d.dddE[-]x.
// Writes at p (room for kMaxFloatWire characters) and returns the end.
constexpr size_t kMaxFloatWire = 40;
char* WriteFloatWire(char* p, double value);
void AppendFloatWire(std::string& out, double value);

// The escaping of unencoded text with the special-characters option: the JSON escapes of
// EscapeJSONText, and every character outside printable ASCII as \u with upper-case hex digits
// (characters beyond the basic plane as their surrogate pair).
void AppendEscapedSpecial(std::string& out, std::string_view text);

// A date-time written with a format of day, month, year, hour, minute, second and millisecond
// letters (d dd m mm yy yyyy h hh n nn s ss z zzz; "m" after an hour means minutes), "/" and ":"
// as the process separators, and text in single or double quotes copied as it is.
std::string FormatDateTimeText(std::string_view format, TDateTime value);

}  // namespace livrexa
