#pragma once
// Numbers and dates as the wire and the runtime write and read them: floats in general format
// with the decimal separator written as "D", date-times as whole seconds since 1899-12-30,
// integers with the runtime's conversion messages.

#include <cstdint>
#include <string>
#include <string_view>

#include "rest/wire/format_settings.h"
#include "rest/wire/wire_consts.h"

namespace livrexa {

// Days since 1899-12-30 00:00; the fraction is the time of day.
using TDateTime = double;

// General format with up to 15 significant digits, exponent form ("1,5E20") for very large or
// small numbers, the given decimal separator, no thousands separators.
std::string FloatToText(double value, const TFormatSettings& fs = ProcessFormat());

// jmDataware and jmUndefined: every decimal separator becomes "D". jmPureJSON: the separator
// becomes `marker` when that is set and differs from it; otherwise the text is left alone.
std::string FloatToWire(std::string_view text, TJsonMode mode = TJsonMode::jmDataware,
                        std::string_view marker = {}, const TFormatSettings& fs = ProcessFormat());
std::string FloatToWire(double value, TJsonMode mode = TJsonMode::jmDataware, std::string_view marker = {},
                        const TFormatSettings& fs = ProcessFormat());
// Every "D" becomes the decimal separator (the text only; see WireToFloat for the number).
std::string WireToFloatText(std::string_view text, const TFormatSettings& fs = ProcessFormat());
double WireToFloat(std::string_view text, const TFormatSettings& fs = ProcessFormat());

// The runtime's parsers; failures carry "'<text>' is not a valid integer value" and
// "'<text>' is not a valid floating point value".
int32_t StrToInt(std::string_view text);
// The integer, or the fallback when the text is not a valid 32-bit integer.
int32_t StrToIntDef(std::string_view text, int32_t fallback);
int64_t StrToInt64(std::string_view text);
double StrToFloat(std::string_view text, const TFormatSettings& fs = ProcessFormat());
bool TryStrToInt64(std::string_view text, int64_t& value);
bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& fs = ProcessFormat());

// Seconds since 1899-12-30 00:00, rounded to the nearest whole second (ties to even).
int64_t DateTimeToWire(TDateTime value);
TDateTime WireToDateTime(int64_t seconds);

TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms = 0);
struct TDateTimeParts {
  int year, month, day, hour, minute, second, millisecond;
};
TDateTimeParts DecodeDateTime(TDateTime value);

// "dd/mm/yyyy", "hh:nn:ss", and both joined by a blank (the time left out when it is midnight).
std::string DateToStr(TDateTime value, const TFormatSettings& fs = ProcessFormat());
std::string TimeToStr(TDateTime value, const TFormatSettings& fs = ProcessFormat());
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs = ProcessFormat());
// A "dd/mm/yyyy" text (day and month may have one digit, a two-digit year is in 1950..2049);
// anything else fails with "'<text>' is not a valid date".
TDateTime StrToDate(std::string_view text, const TFormatSettings& fs = ProcessFormat());

}  // namespace livrexa
