#include "host/host_clock.h"

#include <cstdio>
#include <ctime>

namespace livrexa::host {

TLocalTime ToLocalTime(TTimePoint time) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm parts{};
  localtime_r(&seconds, &parts);
  return TLocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                    parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

std::string TimeText(TTimePoint time) {
  TLocalTime t = ToLocalTime(time);
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", t.hour, t.minute, t.second);
  return text;
}

std::string DateTimeText(TTimePoint time) {
  TLocalTime t = ToLocalTime(time);
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.day, t.month, t.year, t.hour, t.minute,
                t.second);
  return text;
}

std::string ElapsedText(std::chrono::system_clock::duration elapsed) {
  long long total = std::chrono::duration_cast<std::chrono::seconds>(elapsed).count();
  if (total < 0) total = 0;
  total %= 24 * 3600;
  char text[16];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

}  // namespace livrexa::host
