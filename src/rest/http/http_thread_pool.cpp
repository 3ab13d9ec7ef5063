#include "rest/http/detail/http_thread_pool.h"

namespace livrexa {

HttpThreadPool::HttpThreadPool(size_t max_threads) : max_threads_(max_threads == 0 ? 1 : max_threads) {}

HttpThreadPool::~HttpThreadPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void HttpThreadPool::Submit(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    // Only grow when every existing worker is busy with an earlier task.
    if (idle_ < queue_.size() && threads_.size() < max_threads_) {
      threads_.emplace_back([this] { WorkerLoop(); });
      return;
    }
  }
  wake_.notify_one();
}

size_t HttpThreadPool::ThreadCount() const {
  std::lock_guard lock(mutex_);
  return threads_.size();
}

void HttpThreadPool::WorkerLoop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    ++idle_;
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    --idle_;
    if (queue_.empty()) return;  // stopping and nothing left to run
    auto task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace livrexa
