#pragma once
// The host's own thread (the window's thread, or the headless event loop) as seen by code that
// must run there: tasks posted from any thread run on it one after another, in posting order,
// and the poster never waits. A timer fires on the same thread.

#include <functional>

namespace livrexa::host {

class THostThread {
 public:
  virtual ~THostThread() = default;
  virtual void Post(std::function<void()> task) = 0;
};

class THostTimer {
 public:
  virtual ~THostTimer() = default;
  virtual void Enable() = 0;
  virtual void Disable() = 0;
  virtual bool Enabled() const = 0;
};

}  // namespace livrexa::host
