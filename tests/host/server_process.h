#pragma once
// The livrexa-server executable of the build as a child process of a test: its own home and
// runtime folder, standard output and error in files of the home.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "host_test_support.h"
#include "support/source_dir.h"

namespace livrexa::test {

// The host's test helpers speak of the host's own types.
using namespace livrexa::host;

inline std::filesystem::path ServerBinary() {
  return livrexa::test::BinaryDir() / "src" / "livrexa-server";
}

enum class TMode { Headless, Window };

class TServerProcess {
 public:
  TServerProcess(const std::filesystem::path& home, const std::filesystem::path& runtime,
                 std::vector<std::string> extra = {}, TMode mode = TMode::Headless) {
    outPath_ = home / ("stdout-" + std::to_string(counter_++) + ".txt");
    errPath_ = outPath_;
    errPath_.replace_extension(".err");
    std::vector<std::string> args{ServerBinary().string(), "--home", home.string()};
    if (mode == TMode::Headless) args.insert(args.begin() + 1, "--headless");
    args.insert(args.end(), extra.begin(), extra.end());
    pid_ = fork();
    if (pid_ == 0) {
      int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      dup2(out, 1);
      dup2(err, 2);
      setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
      if (mode == TMode::Window) setenv("QT_QPA_PLATFORM", "offscreen", 1);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
  }
  ~TServerProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  // Exit status, or -1 when it is still running after `limit`.
  int Wait(std::chrono::milliseconds limit) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return -1;
  }
  void Signal(int sig) { kill(pid_, sig); }
  std::string Out() const { return ReadFileBytes(outPath_); }
  std::string Err() const { return ReadFileBytes(errPath_); }
  bool WaitForOutput(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
      if (Out().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  static inline int counter_ = 0;
  pid_t pid_ = -1;
  bool exited_ = false;
  std::filesystem::path outPath_, errPath_;
};

}  // namespace livrexa::test
