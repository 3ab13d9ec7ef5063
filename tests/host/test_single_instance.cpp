#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "host/single_instance.h"
#include "host_test_support.h"

namespace livrexa::host {
namespace {
using test::TTempFolder;

TEST(SingleInstance, LockFileLivesInTheRuntimeFolderElseTmp) {
  const char* saved = std::getenv("XDG_RUNTIME_DIR");
  std::string keep = saved ? saved : "";
  setenv("XDG_RUNTIME_DIR", "/run/user/4242", 1);
  EXPECT_EQ(InstanceLockPath(), "/run/user/4242/ZeduRadoLivrexa1.OnlyOne");
  unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(InstanceLockPath(), "/tmp/ZeduRadoLivrexa1.OnlyOne");
  setenv("XDG_RUNTIME_DIR", "", 1);
  EXPECT_EQ(InstanceLockPath(), "/tmp/ZeduRadoLivrexa1.OnlyOne");
  if (saved)
    setenv("XDG_RUNTIME_DIR", keep.c_str(), 1);
  else
    unsetenv("XDG_RUNTIME_DIR");
}

TEST(SingleInstance, SecondHolderIsRefusedUntilTheFirstGoes) {
  TTempFolder folder;
  auto lock = folder.path() / "ZeduRadoLivrexa1.OnlyOne";
  auto first = std::make_unique<TSingleInstance>();
  ASSERT_TRUE(first->Acquire(lock));
  TSingleInstance second;
  EXPECT_FALSE(second.Acquire(lock));
  first.reset();
  EXPECT_TRUE(second.Acquire(lock));
}

TEST(SingleInstance, AnotherProcessIsRefusedAndTheLockGoesWithTheProcess) {
  TTempFolder folder;
  auto lock = folder.path() / "ZeduRadoLivrexa1.OnlyOne";
  int toChild[2];
  ASSERT_EQ(pipe(toChild), 0);
  pid_t child = fork();
  if (child == 0) {
    TSingleInstance held;
    bool got = held.Acquire(lock);
    char c = got ? 'y' : 'n';
    (void)!write(toChild[1], &c, 1);
    pause();  // holds the lock until killed
    _exit(0);
  }
  char c = 0;
  ASSERT_EQ(read(toChild[0], &c, 1), 1);
  ASSERT_EQ(c, 'y');
  TSingleInstance mine;
  EXPECT_FALSE(mine.Acquire(lock));
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(mine.Acquire(lock)) << "the kernel releases the lock of a killed process";
  close(toChild[0]);
  close(toChild[1]);
}

}  // namespace
}  // namespace livrexa::host
