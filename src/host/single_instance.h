#pragma once
// One server per user: an advisory lock on "ZeduRadoLivrexa1.OnlyOne" in the user's runtime folder
// ($XDG_RUNTIME_DIR, else /tmp). The kernel releases it when the process ends, however it ends.

#include <filesystem>

namespace livrexa::host {

inline constexpr const char* kInstanceLockName = "ZeduRadoLivrexa1.OnlyOne";

std::filesystem::path InstanceLockPath();

class TSingleInstance {
 public:
  TSingleInstance() = default;
  ~TSingleInstance();
  TSingleInstance(const TSingleInstance&) = delete;
  TSingleInstance& operator=(const TSingleInstance&) = delete;

  // True when this process now holds the lock; false when another process holds it (or the
  // lock file cannot be opened at all, which is reported the same way: better no second server).
  bool Acquire(const std::filesystem::path& lockPath = InstanceLockPath());

 private:
  int fd_ = -1;
};

}  // namespace livrexa::host
