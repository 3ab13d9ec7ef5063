#include "host/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>

namespace livrexa::host {

std::filesystem::path InstanceLockPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::filesystem::path folder = (runtime && *runtime) ? runtime : "/tmp";
  return folder / kInstanceLockName;
}

TSingleInstance::~TSingleInstance() {
  if (fd_ >= 0) ::close(fd_);
}

bool TSingleInstance::Acquire(const std::filesystem::path& lockPath) {
  if (fd_ >= 0) return true;
  // Close-on-exec: a gbak child must not inherit the lock and outlive us holding it.
  int fd = ::open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  fd_ = fd;
  return true;
}

}  // namespace livrexa::host
