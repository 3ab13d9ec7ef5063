#pragma once
// A pool of reusable worker threads. A task runs on an idle worker, or on a new one while the pool
// is below its size; otherwise it waits in the queue. Threads are kept for later tasks.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace livrexa {

class HttpThreadPool {
 public:
  explicit HttpThreadPool(size_t max_threads);
  ~HttpThreadPool();  // runs the queued tasks, then joins every thread
  HttpThreadPool(const HttpThreadPool&) = delete;
  HttpThreadPool& operator=(const HttpThreadPool&) = delete;

  void Submit(std::function<void()> task);
  size_t ThreadCount() const;

 private:
  void WorkerLoop();

  const size_t max_threads_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::vector<std::thread> threads_;
  size_t idle_ = 0;
  bool stopping_ = false;
};

}  // namespace livrexa
