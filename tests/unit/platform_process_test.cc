// Following a process with ProcessWatch: alive while it runs, gone from the
// moment it ends (a zombie included), and never alive again.
#include "platform/process.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

using solvarium::platform::ProcessWatch;

// Polls until the watch reports the process gone (at most about a second).
bool goneWithinASecond(ProcessWatch& watch) {
  for (int i = 0; i < 100 && watch.alive(); ++i) ::usleep(10000);
  return !watch.alive();
}

TEST(ProcessWatchTest, FollowsOneProcessToItsEnd) {
  ProcessWatch self(::getpid());
  EXPECT_TRUE(self.alive());
  EXPECT_TRUE(self.alive());
  for (long never : {0L, -1L, 1L << 40}) EXPECT_FALSE(ProcessWatch(never).alive()) << never;

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::pause();
    ::_exit(0);
  }
  ProcessWatch watch(child);
  EXPECT_TRUE(watch.alive());
  ASSERT_EQ(::kill(child, SIGKILL), 0);
  // Not reaped yet: the zombie is gone for the watch and for the plain check.
  EXPECT_TRUE(goneWithinASecond(watch));
  EXPECT_FALSE(solvarium::platform::isProcessAlive(child));
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  EXPECT_FALSE(watch.alive());
  EXPECT_FALSE(ProcessWatch(child).alive());
}

}  // namespace
