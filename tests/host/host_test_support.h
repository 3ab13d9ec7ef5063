#pragma once
// Fakes and helpers shared by the host tests: a temporary home, a host thread driven by the test,
// a recording view, a listener that records its switching, a settable clock.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "host/host_clock.h"
#include "host/host_thread.h"
#include "host/host_view.h"
#include "host/listener_control.h"
#include "rest/wire/errors.h"

namespace livrexa::test {

// The host's test helpers speak of the host's own types.
using namespace livrexa::host;

// A loopback port that nothing listens on (the system's choice, released at once).
inline int UnusedLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

class TTempFolder {
 public:
  explicit TTempFolder(const std::string& tag = "host") {
    std::string pattern = (std::filesystem::temp_directory_path() / ("livrexa-" + tag + "-XXXXXX")).string();
    path_ = mkdtemp(pattern.data());
  }
  ~TTempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::string text() const { return path_.string() + "/"; }

 private:
  std::filesystem::path path_;
};

inline std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

// Tasks posted from any thread wait until the test runs them with RunPending / RunUntil.
class TManualThread : public THostThread {
 public:
  void Post(std::function<void()> task) override {
    {
      std::lock_guard guard(lock_);
      tasks_.push_back(std::move(task));
    }
    posted_.notify_all();
  }
  int RunPending() {
    int ran = 0;
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard guard(lock_);
        if (tasks_.empty()) return ran;
        task = std::move(tasks_.front());
        tasks_.pop_front();
      }
      task();
      ++ran;
    }
  }
  // Runs posted tasks until `done` holds or the time runs out; returns `done()`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::seconds limit = std::chrono::seconds(60)) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      RunPending();
      if (done()) break;
      std::unique_lock lock(lock_);
      if (!posted_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return done();
    }
    return true;
  }

 private:
  std::mutex lock_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> tasks_;
};

class TRecordingView : public THostView {
 public:
  void ShowStatusPanels(const std::string& p1, const std::string& p2) override {
    panel1 = p1;
    panel2 = p2;
  }
  void ShowTitle(const std::string& t) override { title = t; }
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void OpenSettings() override { ++settingsOpened; }
  void AppendLogEntry(const std::string& entry) override { log.push_back(entry); }
  void ClearLog() override {
    log.clear();
    ++clears;
  }
  void AddRequestCount() override { ++requests; }

  std::string panel1, panel2, title;
  std::vector<std::string> messages, log;
  int settingsOpened = 0, clears = 0, requests = 0;
};

// Records its switching; a port in `busyPorts` cannot be opened (in use by another program).
class TRecordingListener : public TListenerControl {
 public:
  void Deactivate() override {
    active = false;
    activePort = 0;
    calls.push_back("off");
  }
  void Activate(int port) override {
    if (active && port == activePort) return;
    calls.push_back("on " + std::to_string(port));
    for (int busy : busyPorts)
      if (busy == port) throw TPortError(port, EADDRINUSE, "Address already in use");
    active = true;
    activePort = port;
  }
  bool Active() const override { return active; }
  int Port() const override { return activePort; }

  bool active = false;
  int activePort = 0;
  std::vector<int> busyPorts;
  std::vector<std::string> calls;
};

class TRecordingTimer : public THostTimer {
 public:
  void Enable() override { enabled = true; }
  void Disable() override { enabled = false; }
  bool Enabled() const override { return enabled; }
  bool enabled = false;
};

class TFixedClock : public TClock {
 public:
  TTimePoint Now() const override { return now; }
  // Local date and time.
  void Set(int year, int month, int day, int hour, int minute = 0, int second = 0) {
    std::tm parts{};
    parts.tm_year = year - 1900;
    parts.tm_mon = month - 1;
    parts.tm_mday = day;
    parts.tm_hour = hour;
    parts.tm_min = minute;
    parts.tm_sec = second;
    parts.tm_isdst = -1;
    now = std::chrono::system_clock::from_time_t(std::mktime(&parts));
  }
  TTimePoint now = std::chrono::system_clock::now();
};

}  // namespace livrexa::test
