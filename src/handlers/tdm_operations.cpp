#include "handlers/tdm_operations.h"

#include <cstdio>

namespace livrexa {

std::string SixDigits(int64_t number) {
  char buffer[32];
  // The sign stands before the six digits, as in "-000042".
  if (number < 0) {
    std::snprintf(buffer, sizeof buffer, "-%06llu",
                  static_cast<unsigned long long>(0 - static_cast<uint64_t>(number)));
  } else {
    std::snprintf(buffer, sizeof buffer, "%06lld", static_cast<long long>(number));
  }
  return buffer;
}

}  // namespace livrexa
