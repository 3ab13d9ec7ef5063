#include "rest/wire/wire_numbers.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "rest/wire/errors.h"

namespace livrexa {
namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr long long kEpochOffsetDays = 25569;  // 1899-12-30 to 1970-01-01

[[noreturn]] void ThrowInteger(std::string_view text) {
  throw LivrexaError("'" + std::string(text) + "' is not a valid integer value");
}

[[noreturn]] void ThrowFloat(std::string_view text) {
  throw LivrexaError("'" + std::string(text) + "' is not a valid floating point value");
}

double RoundHalfEven(double x) {
  const double f = std::floor(x);
  const double diff = x - f;
  if (diff > 0.5) return f + 1;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0.0 ? f : f + 1;
}

}  // namespace

std::string FloatToText(double value, const TFormatSettings& fs) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
  std::string_view raw(buf, static_cast<size_t>(res.ptr - buf));
  std::string out;
  out.reserve(raw.size());
  size_t i = 0;
  for (; i < raw.size() && raw[i] != 'e'; ++i) out.push_back(raw[i] == '.' ? fs.DecimalSeparator : raw[i]);
  if (i < raw.size()) {
    // "e+20" becomes "E20", "e-05" becomes "E-5".
    out.push_back('E');
    ++i;
    if (raw[i] == '-') out.push_back('-');
    if (raw[i] == '-' || raw[i] == '+') ++i;
    while (i + 1 < raw.size() && raw[i] == '0') ++i;
    out.append(raw.substr(i));
  }
  return out;
}

std::string FloatToWire(std::string_view text, TJsonMode mode, std::string_view marker,
                        const TFormatSettings& fs) {
  std::string out;
  out.reserve(text.size());
  const bool dataware = mode != TJsonMode::jmPureJSON;
  const bool useMarker =
      !dataware && !marker.empty() && !(marker.size() == 1 && marker[0] == fs.DecimalSeparator);
  for (char c : text) {
    if (c != fs.DecimalSeparator)
      out.push_back(c);
    else if (dataware)
      out.push_back('D');
    else if (useMarker)
      out.append(marker);
    else
      out.push_back(c);
  }
  return out;
}

std::string FloatToWire(double value, TJsonMode mode, std::string_view marker, const TFormatSettings& fs) {
  return FloatToWire(FloatToText(value, fs), mode, marker, fs);
}

std::string WireToFloatText(std::string_view text, const TFormatSettings& fs) {
  std::string out(text);
  for (auto& c : out)
    if (c == 'D') c = fs.DecimalSeparator;
  return out;
}

double WireToFloat(std::string_view text, const TFormatSettings& fs) {
  char small[64];
  if (text.size() > sizeof small) return StrToFloat(WireToFloatText(text, fs), fs);
  for (size_t i = 0; i < text.size(); ++i) small[i] = text[i] == 'D' ? fs.DecimalSeparator : text[i];
  return StrToFloat(std::string_view(small, text.size()), fs);
}

bool TryStrToInt64(std::string_view text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16, ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16, i += 2;
  }
  if (i == text.size()) return false;
  uint64_t magnitude = 0;
  const auto end = text.data() + text.size();
  const auto res = std::from_chars(text.data() + i, end, magnitude, base);
  if (res.ec != std::errc() || res.ptr != end) return false;
  if (negative) {
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()) + 1) return false;
    value = static_cast<int64_t>(0 - magnitude);
  } else {
    if (magnitude > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return false;
    value = static_cast<int64_t>(magnitude);
  }
  return true;
}

int64_t StrToInt64(std::string_view text) {
  int64_t v;
  if (!TryStrToInt64(text, v)) ThrowInteger(text);
  return v;
}

int32_t StrToInt(std::string_view text) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    ThrowInteger(text);
  return static_cast<int32_t>(v);
}

int32_t StrToIntDef(std::string_view text, int32_t fallback) {
  int64_t v;
  if (!TryStrToInt64(text, v) || v < std::numeric_limits<int32_t>::min() ||
      v > std::numeric_limits<int32_t>::max())
    return fallback;
  return static_cast<int32_t>(v);
}

bool TryStrToFloat(std::string_view text, double& value, const TFormatSettings& fs) {
  const std::string_view t = Trim(text);
  // Accept [sign] digits [separator digits] [E [sign] digits], with the machine's separator only.
  // The normalised text is never longer than the text: short numbers are built on the stack.
  char small[64];
  std::string large;
  char* c = small;
  if (t.size() > sizeof small) {
    large.resize(t.size());
    c = large.data();
  }
  size_t n = 0;
  size_t i = 0;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) c[n++] = t[i++];
  bool digits = false, separator = false;
  for (; i < t.size(); ++i) {
    if (t[i] >= '0' && t[i] <= '9') {
      digits = true, c[n++] = t[i];
    } else if (t[i] == fs.DecimalSeparator && !separator) {
      separator = true, c[n++] = '.';
    } else {
      break;
    }
  }
  if (!digits) return false;
  if (i < t.size() && (t[i] == 'E' || t[i] == 'e')) {
    c[n++] = 'e';
    ++i;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) c[n++] = t[i++];
    bool expDigits = false;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) expDigits = true, c[n++] = t[i];
    if (!expDigits) return false;
  }
  if (i != t.size()) return false;
  const char* first = c;
  if (*first == '+') ++first;
  const auto res = std::from_chars(first, c + n, value);
  return res.ec == std::errc() && res.ptr == c + n && std::isfinite(value);
}

double StrToFloat(std::string_view text, const TFormatSettings& fs) {
  double v;
  if (!TryStrToFloat(text, v, fs)) ThrowFloat(text);
  return v;
}

int64_t DateTimeToWire(TDateTime value) {
  const double seconds = RoundHalfEven(value * kSecondsPerDay);
  if (!(seconds > -9.2e18 && seconds < 9.2e18)) return 0;
  return static_cast<int64_t>(seconds);
}

TDateTime WireToDateTime(int64_t seconds) {
  return static_cast<double>(seconds) / kSecondsPerDay;
}

TDateTime EncodeDate(int year, int month, int day) {
  using namespace std::chrono;
  const sys_days d = year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                                    std::chrono::day{static_cast<unsigned>(day)}};
  return static_cast<double>(d.time_since_epoch().count() + kEpochOffsetDays);
}

TDateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  return (hour * 3600000.0 + minute * 60000.0 + second * 1000.0 + millisecond) / 86400000.0;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int ms) {
  // Before the epoch the time of day is written as the fraction's absolute value, as DecodeDateTime reads it.
  const TDateTime date = EncodeDate(year, month, day);
  const TDateTime time = EncodeTime(hour, minute, second, ms);
  return date < 0 ? date - time : date + time;
}

TDateTimeParts DecodeDateTime(TDateTime value) {
  // The date is the whole part; the time of day is the fraction's absolute value (so a value
  // before the epoch, -1.25, is 1899-12-29 06:00).
  using namespace std::chrono;
  if (!std::isfinite(value) || std::fabs(value) > 3.0e6) value = 0;
  double whole = std::trunc(value);
  long long ms = std::llround(std::fabs(value - whole) * 86400000.0);
  if (ms >= 86400000) {
    ms -= 86400000;
    whole += value < 0 ? -1 : 1;
  }
  const year_month_day ymd{sys_days{days{static_cast<long long>(whole) - kEpochOffsetDays}}};
  TDateTimeParts p{};
  p.year = static_cast<int>(ymd.year());
  p.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  p.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::string DateToStr(TDateTime value, const TFormatSettings& fs) {
  const auto p = DecodeDateTime(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%c%02d%c%04d", p.day, fs.DateSeparator, p.month, fs.DateSeparator,
                p.year);
  return buf;
}

std::string TimeToStr(TDateTime value, const TFormatSettings& fs) {
  const auto p = DecodeDateTime(value);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d%c%02d%c%02d", p.hour, fs.TimeSeparator, p.minute, fs.TimeSeparator,
                p.second);
  return buf;
}

std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs) {
  const auto p = DecodeDateTime(value);
  if (p.hour == 0 && p.minute == 0 && p.second == 0) return DateToStr(value, fs);
  return DateToStr(value, fs) + " " + TimeToStr(value, fs);
}

TDateTime StrToDate(std::string_view text, const TFormatSettings& fs) {
  const std::string_view t = Trim(text);
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int part = 0;
  bool ok = !t.empty();
  for (char c : t) {
    if (c >= '0' && c <= '9') {
      if (++digits[part] > 4) ok = false;
      parts[part] = parts[part] * 10 + (c - '0');
    } else if (c == fs.DateSeparator && part < 2) {
      ++part;
    } else {
      ok = false;
    }
  }
  if (part != 2 || digits[0] == 0 || digits[1] == 0 || digits[2] == 0 || digits[0] > 2 || digits[1] > 2)
    ok = false;
  int year = parts[2];
  if (ok && digits[2] <= 2) year += year < 50 ? 2000 : 1900;
  using namespace std::chrono;
  const year_month_day ymd{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(parts[1])},
                           std::chrono::day{static_cast<unsigned>(parts[0])}};
  if (!ok || !ymd.ok() || year < 1) throw LivrexaError("'" + std::string(text) + "' is not a valid date");
  return EncodeDate(year, parts[1], parts[0]);
}

}  // namespace livrexa
