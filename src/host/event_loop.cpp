#include "host/event_loop.h"

namespace livrexa::host {

using TSteady = std::chrono::steady_clock;

class TEventLoop::TLoopTimer : public THostTimer {
 public:
  TLoopTimer(TEventLoop& loop, std::chrono::milliseconds interval, std::function<void()> onTick)
      : loop_(loop), interval_(interval), onTick_(std::move(onTick)) {}

  void Enable() override {
    std::lock_guard guard(loop_.lock_);
    enabled_ = true;
    due_ = TSteady::now() + interval_;
    loop_.wake_.notify_all();
  }
  void Disable() override {
    std::lock_guard guard(loop_.lock_);
    enabled_ = false;
  }
  bool Enabled() const override {
    std::lock_guard guard(loop_.lock_);
    return enabled_;
  }

  TEventLoop& loop_;
  std::chrono::milliseconds interval_;
  std::function<void()> onTick_;
  bool enabled_ = false;
  TSteady::time_point due_{};
};

TEventLoop::TEventLoop() = default;
TEventLoop::~TEventLoop() = default;

void TEventLoop::Post(std::function<void()> task) {
  {
    std::lock_guard guard(lock_);
    tasks_.push_back(std::move(task));
  }
  wake_.notify_all();
}

THostTimer& TEventLoop::CreateTimer(std::chrono::milliseconds interval, std::function<void()> onTick) {
  std::lock_guard guard(lock_);
  timers_.push_back(std::make_unique<TLoopTimer>(*this, interval, std::move(onTick)));
  return *timers_.back();
}

void TEventLoop::Quit(int exitCode) {
  {
    std::lock_guard guard(lock_);
    quit_ = true;
    exitCode_ = exitCode;
  }
  wake_.notify_all();
}

int TEventLoop::Run() {
  std::unique_lock lock(lock_);
  while (!quit_) {
    if (!tasks_.empty()) {
      auto task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
      continue;
    }
    TLoopTimer* next = nullptr;
    for (auto& timer : timers_)
      if (timer->enabled_ && (!next || timer->due_ < next->due_)) next = timer.get();
    if (next && next->due_ <= TSteady::now()) {
      next->due_ += next->interval_;
      if (next->due_ < TSteady::now()) next->due_ = TSteady::now() + next->interval_;
      auto tick = next->onTick_;
      lock.unlock();
      tick();
      lock.lock();
      continue;
    }
    if (next)
      wake_.wait_until(lock, next->due_);
    else
      wake_.wait(lock);
  }
  return exitCode_;
}

}  // namespace livrexa::host
