#include "handlers/local_clock.h"

#include <chrono>
#include <cmath>
#include <ctime>

namespace livrexa {

TDateTime Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t t = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&t, &local);
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  return EncodeDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                        local.tm_sec, static_cast<int>(ms));
}

TDateTime Date() {
  return std::floor(Now());
}

TDateTime Time() {
  const TDateTime now = Now();
  return now - std::floor(now);
}

std::string NowText() {
  const TDateTime now = Now();
  return DateToStr(now) + " " + TimeToStr(now);
}

}  // namespace livrexa
