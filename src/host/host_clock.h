#pragma once
// Wall-clock time for the backup timer and the log texts, behind an interface so tests can set
// the date and the hour.

#include <chrono>
#include <string>

namespace livrexa::host {

using TTimePoint = std::chrono::system_clock::time_point;

struct TLocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class TClock {
 public:
  virtual ~TClock() = default;
  virtual TTimePoint Now() const = 0;
};

class TSystemClock : public TClock {
 public:
  TTimePoint Now() const override { return std::chrono::system_clock::now(); }
};

TLocalTime ToLocalTime(TTimePoint time);
// Local time of day as "hh:mm:ss".
std::string TimeText(TTimePoint time);
// Local date and time as "dd/mm/yyyy hh:mm:ss".
std::string DateTimeText(TTimePoint time);
// A duration written as a time of day counted from midnight, "hh:mm:ss".
std::string ElapsedText(std::chrono::system_clock::duration elapsed);

}  // namespace livrexa::host
