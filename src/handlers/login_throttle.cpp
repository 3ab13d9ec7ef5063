#include "handlers/login_throttle.h"

#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include "handlers/handler_limits.h"

namespace livrexa {
namespace {

constexpr auto kWindow = std::chrono::minutes(1);
constexpr size_t kMaxAddresses = 4096;  // beyond it, addresses without a recent failure are forgotten
constexpr size_t kMaxKept = 256;        // failures kept per address

struct TState {
  std::mutex mutex;
  std::map<std::string, std::deque<TLoginThrottle::TClock::time_point>> failures;
};

TState& State() {
  static TState* const state = new TState();
  return *state;
}

void Forget(std::deque<TLoginThrottle::TClock::time_point>& times, TLoginThrottle::TClock::time_point now) {
  while (!times.empty() && now - times.front() > kWindow) times.pop_front();
}

}  // namespace

TLoginThrottle& TLoginThrottle::Shared() {
  static TLoginThrottle throttle;
  return throttle;
}

std::chrono::milliseconds TLoginThrottle::DelayFor(const std::string& address) {
  const THandlerLimits& limits = HandlerLimits();
  TState& s = State();
  std::lock_guard lock(s.mutex);
  const auto found = s.failures.find(address);
  if (found == s.failures.end()) return std::chrono::milliseconds(0);
  Forget(found->second, TClock::now());
  const long over = static_cast<long>(found->second.size()) - limits.FreeLoginFailures;
  if (over < 0) return std::chrono::milliseconds(0);
  return std::min(limits.LoginDelayMax, limits.LoginDelayStep * (over + 1));
}

void TLoginThrottle::Wait(const std::string& address) {
  const std::chrono::milliseconds delay = DelayFor(address);
  if (delay.count() > 0) std::this_thread::sleep_for(delay);
}

void TLoginThrottle::RecordFailure(const std::string& address) {
  TState& s = State();
  const TClock::time_point now = TClock::now();
  std::lock_guard lock(s.mutex);
  if (s.failures.size() >= kMaxAddresses) {
    for (auto it = s.failures.begin(); it != s.failures.end();) {
      Forget(it->second, now);
      it = it->second.empty() ? s.failures.erase(it) : std::next(it);
    }
  }
  auto& times = s.failures[address];
  Forget(times, now);
  times.push_back(now);
  if (times.size() > kMaxKept) times.pop_front();
}

void TLoginThrottle::Clear() {
  TState& s = State();
  std::lock_guard lock(s.mutex);
  s.failures.clear();
}

}  // namespace livrexa
