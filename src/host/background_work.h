#pragma once
// Work that must not hold up the host's thread (counting the rows of a database), each piece on
// a thread of its own. The work hands its result back to the host's thread itself (THostThread).

#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

namespace livrexa::host {

class TBackgroundWork {
 public:
  TBackgroundWork() = default;
  ~TBackgroundWork();  // waits for the work still running
  TBackgroundWork(const TBackgroundWork&) = delete;
  TBackgroundWork& operator=(const TBackgroundWork&) = delete;

  void Run(std::function<void()> work);
  // Waits until every piece of work has returned (tests, shutdown).
  void WaitAll();

 private:
  struct TPiece {
    std::thread thread;
    std::shared_ptr<bool> finished = std::make_shared<bool>(false);
  };
  std::mutex lock_;
  std::list<TPiece> pieces_;
};

}  // namespace livrexa::host
