#pragma once
// Starts programs with an argument list (no shell: an argument with blanks stays one argument) and
// reports their end, with what they wrote to standard error, from a waiter thread, so the host's
// thread never blocks on them.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace livrexa::host {

class TChildProcesses {
 public:
  // Called on the waiter thread with the child's exit status (-1 when it died of a signal) and the
  // end of its standard error (at most kErrorOutputLimit bytes, the last ones).
  using TExitHandler = std::function<void(int exitStatus, const std::string& errorOutput)>;
  static constexpr size_t kErrorOutputLimit = 64 * 1024;

  TChildProcesses() = default;
  ~TChildProcesses();  // kills children still running and joins the waiters
  TChildProcesses(const TChildProcesses&) = delete;
  TChildProcesses& operator=(const TChildProcesses&) = delete;

  // Runs `program` (a path, or a name looked up in PATH) with `args`; standard input and output go
  // to /dev/null, standard error to a pipe that the waiter reads. `extraEnvironment` entries ("NAME=value")
  // are added to this process's environment. `onExit` runs once the child has ended and at least
  // `minimumWait` has passed since the start. Throws LivrexaError when the program cannot be started.
  void Start(const std::string& program, const std::vector<std::string>& args,
             const std::vector<std::string>& extraEnvironment, std::chrono::milliseconds minimumWait,
             TExitHandler onExit);

  // Waits until every started child has ended and its handler has returned (tests, shutdown).
  void WaitAll();

 private:
  struct TChild {
    int pid = -1;
    bool exited = false;  // reaped by waitpid: the pid is no longer ours to signal
    bool ended = false;   // the exit handler has returned
    std::thread waiter;
  };
  void Reap();

  std::mutex lock_;
  std::condition_variable changed_;
  bool stopping_ = false;
  std::list<TChild> children_;
};

}  // namespace livrexa::host
