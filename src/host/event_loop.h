#pragma once
// The headless mode's host thread: a queue of tasks and repeating timers, run by Run() on the
// thread that calls it until Quit().

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>

#include "host/host_thread.h"

namespace livrexa::host {

class TEventLoop : public THostThread {
 public:
  TEventLoop();
  ~TEventLoop() override;
  void Post(std::function<void()> task) override;

  // A timer firing `onTick` on the loop's thread every `interval` while enabled (starts disabled).
  // The loop owns it; it lives as long as the loop.
  THostTimer& CreateTimer(std::chrono::milliseconds interval, std::function<void()> onTick);

  // Runs tasks and timers until Quit(); returns the code given to Quit.
  int Run();
  void Quit(int exitCode = 0);

 private:
  class TLoopTimer;
  std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  std::list<std::unique_ptr<TLoopTimer>> timers_;
  bool quit_ = false;
  int exitCode_ = 0;
};

}  // namespace livrexa::host
