// The text forms of dataset values built by hand: floats in wire text, dates by a format,
// escaped and unescaped texts.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "rest/dataset/dataset_json.h"
#include "rest/dataset/detail/dataset_text_format.h"
#include "rest/wire/errors.h"
#include "rest/wire/text_codec.h"
#include "rest/wire/wire_numbers.h"

namespace livrexa {
namespace {

void AppendHex4(std::string& out, unsigned value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(value >> shift) & 0xF]);
}

}  // namespace

char* WriteFloatWire(char* p, double value) {
  char buf[40];
  const auto res = std::isfinite(value)
                       ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific)
                       : std::to_chars_result{buf, std::errc::value_too_large};
  const std::string_view sci(buf, res.ec == std::errc() ? static_cast<size_t>(res.ptr - buf) : 0);
  size_t e = 0;
  while (e < sci.size() && sci[e] != 'e') ++e;
  if (e == sci.size()) e = std::string_view::npos;
  char digits[24];
  size_t count = 0;
  for (size_t k = 0; e != std::string_view::npos && k < e; ++k)
    if (sci[k] >= '0' && sci[k] <= '9' && count < sizeof digits) digits[count++] = sci[k];
  const bool subnormal = value != 0 && std::fabs(value) < std::numeric_limits<double>::min();
  if (e == std::string_view::npos || subnormal || count > 17 || (count == 16 && digits[15] == '5')) {
    const char separator = ProcessFormat().DecimalSeparator;
    const std::string text = FloatToText(value);
    for (size_t k = 0; k < text.size() && k < kMaxFloatWire; ++k) *p++ = text[k] == separator ? 'D' : text[k];
    return p;
  }
  int exponent = 0;
  std::from_chars(sci.data() + e + (sci[e + 1] == '+' ? 2 : 1), sci.data() + sci.size(), exponent);
  if (count > 15) {
    const bool up = digits[15] >= '5';
    count = 15;
    if (up) {
      size_t k = count;
      while (k > 0 && digits[k - 1] == '9') digits[--k] = '0';
      if (k == 0) {
        digits[0] = '1';
        ++exponent;
      } else {
        ++digits[k - 1];
      }
    }
    while (count > 1 && digits[count - 1] == '0') --count;
  }
  auto put = [&p](const char* from, size_t n) {
    std::memcpy(p, from, n);
    p += n;
  };
  if (sci[0] == '-') *p++ = '-';
  if (exponent < -4 || exponent >= 15) {
    *p++ = digits[0];
    if (count > 1) {
      *p++ = 'D';
      put(digits + 1, count - 1);
    }
    *p++ = 'E';
    p = std::to_chars(p, p + 8, exponent).ptr;
  } else if (exponent < 0) {
    put("0D", 2);
    std::memset(p, '0', static_cast<size_t>(-exponent - 1));
    p += -exponent - 1;
    put(digits, count);
  } else {
    const size_t whole = static_cast<size_t>(exponent) + 1;
    if (count <= whole) {
      put(digits, count);
      std::memset(p, '0', whole - count);
      p += whole - count;
    } else {
      put(digits, whole);
      *p++ = 'D';
      put(digits + whole, count - whole);
    }
  }
  return p;
}

void AppendFloatWire(std::string& out, double value) {
  char buf[kMaxFloatWire];
  out.append(buf, WriteFloatWire(buf, value));
}

void AppendEscapedSpecial(std::string& out, std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const char32_t cp = NextCodePoint(text, i);
    if (const char* escape = JsonEscapeOf(cp)) {
      out += escape;
      continue;
    }
    if (cp >= 0x20 && cp < 0x7F) {
      out.push_back(static_cast<char>(cp));
    } else if (cp <= 0xFFFF) {
      AppendHex4(out, static_cast<unsigned>(cp));
    } else {
      const unsigned v = static_cast<unsigned>(cp) - 0x10000;
      AppendHex4(out, 0xD800 + (v >> 10));
      AppendHex4(out, 0xDC00 + (v & 0x3FF));
    }
  }
}

std::string FormatDateTimeText(std::string_view format, TDateTime value) {
  const TFormatSettings& fs = ProcessFormat();
  const TDateTimeParts p = DecodeDateTime(value);
  std::string out;
  bool lastWasHour = false;
  size_t i = 0;
  auto run = [&](char c) {
    size_t n = 0;
    while (i + n < format.size() && (format[i + n] | 0x20) == c) ++n;
    return n;
  };
  auto number = [&](int v, size_t width) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%0*d", static_cast<int>(width), v);
    out += buf;
  };
  while (i < format.size()) {
    const char c = format[i];
    const char lower = static_cast<char>(c | 0x20);
    if (c == '\'' || c == '"') {
      const size_t end = format.find(c, i + 1);
      const size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
      continue;
    }
    size_t n = 0;
    switch (lower) {
      case 'y':
        n = run('y');
        number(n <= 2 ? p.year % 100 : p.year, n <= 2 ? 2 : 4);
        break;
      case 'd':
        n = run('d');
        number(p.day, std::min<size_t>(n, 2));
        break;
      case 'm':
        n = run('m');
        number(lastWasHour ? p.minute : p.month, std::min<size_t>(n, 2));
        break;
      case 'h':
        n = run('h');
        number(p.hour, std::min<size_t>(n, 2));
        break;
      case 'n':
        n = run('n');
        number(p.minute, std::min<size_t>(n, 2));
        break;
      case 's':
        n = run('s');
        number(p.second, std::min<size_t>(n, 2));
        break;
      case 'z':
        n = run('z');
        number(p.millisecond, n >= 3 ? 3 : 1);
        break;
      default:
        n = 1;
        out.push_back(c == '/' ? fs.DateSeparator : c == ':' ? fs.TimeSeparator : c);
    }
    if (lower != ' ' && lower != ':') lastWasHour = lower == 'h';
    i += n;
  }
  return out;
}

std::string UnescapeJSONText(std::string_view text) {
  if (text.find('\\') == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  auto hex4 = [&](size_t at, unsigned& value) {
    if (at + 4 > text.size()) return false;
    value = 0;
    for (size_t k = at; k < at + 4; ++k) {
      const char c = text[k];
      unsigned digit;
      if (c >= '0' && c <= '9')
        digit = static_cast<unsigned>(c - '0');
      else if (c >= 'a' && c <= 'f')
        digit = static_cast<unsigned>(c - 'a' + 10);
      else if (c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
      else
        return false;
      value = value * 16 + digit;
    }
    return true;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' || i + 1 == text.size()) {
      out.push_back(c);
      continue;
    }
    const char e = text[++i];
    switch (e) {
      case 'b':
        out.push_back('\b');
        break;
      case 'f':
        out.push_back('\f');
        break;
      case 'n':
        out.push_back('\n');
        break;
      case 'r':
        out.push_back('\r');
        break;
      case 't':
        out.push_back('\t');
        break;
      case 'u': {
        unsigned unit;
        if (!hex4(i + 1, unit))
          throw LivrexaError("Invalid unicode \\u" + std::string(text.substr(i + 1, 4)));
        i += 4;
        char32_t cp = unit;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
          unsigned low;
          if (i + 2 < text.size() && text[i + 1] == '\\' && text[i + 2] == 'u' && hex4(i + 3, low) &&
              low >= 0xDC00 && low <= 0xDFFF) {
            cp = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
            i += 6;
          } else {
            cp = 0xFFFD;
          }
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
          cp = 0xFFFD;
        }
        AppendUtf8(out, cp);
        break;
      }
      default:
        out.push_back(e);
    }
  }
  return out;
}

}  // namespace livrexa
