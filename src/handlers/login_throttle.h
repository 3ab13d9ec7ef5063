#pragma once
// Failed logins counted per client address over the last minute. Beyond the free failures (see
// THandlerLimits), every login attempt from that address waits a growing delay before it is
// answered, so guessing passwords from one machine becomes slow; the answer itself is unchanged.

#include <chrono>
#include <string>

namespace livrexa {

class TLoginThrottle {
 public:
  using TClock = std::chrono::steady_clock;

  // The shared one of the process.
  static TLoginThrottle& Shared();

  // How long an attempt from the address waits now.
  std::chrono::milliseconds DelayFor(const std::string& address);
  // Waits that long.
  void Wait(const std::string& address);
  void RecordFailure(const std::string& address);
  // Forgets every address (for tests).
  void Clear();
};

}  // namespace livrexa
