#include "host/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>

#include "rest/wire/errors.h"

extern char** environ;

namespace livrexa::host {
namespace {

std::vector<std::string> MergedEnvironment(const std::vector<std::string>& extra) {
  std::map<std::string, std::string> byName;
  std::vector<std::string> order;
  auto put = [&](const std::string& entry) {
    std::string name = entry.substr(0, entry.find('='));
    if (!byName.count(name)) order.push_back(name);
    byName[name] = entry;
  };
  for (char** e = environ; e && *e; ++e) put(*e);
  for (const auto& entry : extra) put(entry);
  std::vector<std::string> merged;
  for (const auto& name : order) merged.push_back(byName[name]);
  return merged;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (auto& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

TChildProcesses::~TChildProcesses() {
  {
    std::lock_guard guard(lock_);
    stopping_ = true;
    for (auto& child : children_)
      if (!child.exited) ::kill(child.pid, SIGKILL);
  }
  changed_.notify_all();
  for (auto& child : children_)
    if (child.waiter.joinable()) child.waiter.join();
}

void TChildProcesses::Start(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& extraEnvironment,
                            std::chrono::milliseconds minimumWait, TExitHandler onExit) {
  Reap();
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<std::string> envp = MergedEnvironment(extraEnvironment);
  std::vector<char*> argvPointers = Pointers(argv);
  std::vector<char*> envpPointers = Pointers(envp);

  // Standard error goes to a pipe; both ends are close-on-exec, so only the dup2 copy (fd 2)
  // reaches the child and no other child started meanwhile inherits the pipe.
  int errorPipe[2];
  if (::pipe2(errorPipe, O_CLOEXEC) != 0)
    throw LivrexaError("Não foi possível executar " + program + ": " + std::strerror(errno));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, errorPipe[1], 2);
  pid_t pid = -1;
  int rc = ::posix_spawnp(&pid, program.c_str(), &actions, nullptr, argvPointers.data(), envpPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  ::close(errorPipe[1]);
  if (rc != 0) {
    ::close(errorPipe[0]);
    throw LivrexaError("Não foi possível executar " + program + ": " + std::strerror(rc));
  }

  auto started = std::chrono::steady_clock::now();
  std::lock_guard guard(lock_);
  TChild& child = children_.emplace_back();
  child.pid = pid;
  child.waiter = std::thread(
      [this, &child, pid, readEnd = errorPipe[0], started, minimumWait, onExit = std::move(onExit)] {
        // Read to the end first: a child writing much to a full pipe would never exit otherwise.
        std::string errorOutput;
        char buffer[4096];
        for (;;) {
          ssize_t n = ::read(readEnd, buffer, sizeof buffer);
          if (n < 0 && errno == EINTR) continue;
          if (n <= 0) break;
          errorOutput.append(buffer, size_t(n));
          if (errorOutput.size() > 2 * kErrorOutputLimit)
            errorOutput.erase(0, errorOutput.size() - kErrorOutputLimit);
        }
        ::close(readEnd);
        if (errorOutput.size() > kErrorOutputLimit)
          errorOutput.erase(0, errorOutput.size() - kErrorOutputLimit);
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        {
          std::unique_lock lock(lock_);
          child.exited = true;
          changed_.wait_until(lock, started + minimumWait, [this] { return stopping_; });
          if (stopping_) {
            child.ended = true;
            return;
          }
        }
        if (onExit) onExit(exitStatus, errorOutput);
        {
          std::lock_guard lock(lock_);
          child.ended = true;
        }
        changed_.notify_all();
      });
}

void TChildProcesses::WaitAll() {
  std::unique_lock lock(lock_);
  changed_.wait(lock, [this] {
    for (const auto& child : children_)
      if (!child.ended) return false;
    return true;
  });
}

void TChildProcesses::Reap() {
  std::list<TChild> finished;
  {
    std::lock_guard guard(lock_);
    for (auto it = children_.begin(); it != children_.end();) {
      auto next = std::next(it);
      if (it->ended) finished.splice(finished.end(), children_, it);
      it = next;
    }
  }
  for (auto& child : finished)
    if (child.waiter.joinable()) child.waiter.join();
}

}  // namespace livrexa::host
