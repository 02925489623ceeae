// Process ids read from text, and following a process with ProcessWatch:
// alive while it runs, gone from the moment it ends (a zombie included), and
// never alive again; the read loop of a Descriptor.
#include "platform/process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "platform/descriptor.h"
#include "tests/support/joined_threads.h"

namespace {

using solvarium::platform::ProcessWatch;

// A child process that waits until it is killed.
pid_t pausedChild() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::pause();
    ::_exit(0);
  }
  return child;
}

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

  const pid_t child = pausedChild();
  ASSERT_GT(child, 0);
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

// Request threads probe the solver at the same time: all see the end.
TEST(ProcessWatchTest, SeveralThreadsCheckAtOnce) {
  const pid_t child = pausedChild();
  ASSERT_GT(child, 0);
  ProcessWatch watch(child);
  std::atomic<int> sawGone{0};
  solvarium_test::JoinedThreads threads;
  for (int t = 0; t < 4; ++t) {
    threads.start([&] {
      for (int i = 0; i < 2000 && watch.alive(); ++i) ::usleep(500);
      if (!watch.alive()) ++sawGone;
    });
  }
  ::usleep(20000);
  ::kill(child, SIGKILL);
  threads.join();
  EXPECT_EQ(sawGone.load(), 4);
  ::waitpid(child, nullptr, 0);
}

// Process ids as the environment, a pid file or a pretty-printed element
// give them: the leading decimal number counts, whatever follows.
TEST(ParsePidTest, LeadingDecimalNumberThatFitsAndIsPositive) {
  const std::vector<std::pair<const char*, long>> valid = {
      {"42", 42},   {" 42", 42},  {"42\n", 42},     {"\n  42\n ", 42},
      {"42x", 42},  {"42 7", 42}, {"+7", 7},         {"2147483647", 2147483647}};
  for (const auto& [text, expected] : valid) {
    long pid = -1;
    EXPECT_TRUE(solvarium::platform::parsePid(text, &pid)) << text;
    EXPECT_EQ(pid, expected) << text;
  }
  for (const char* invalid : {"", " ", "abc", "x42", "-3", "0", "0x10", "-0", "+ 7",
                              "2147483648", "4294967338", "99999999999999999999"}) {
    long pid = -1;
    EXPECT_FALSE(solvarium::platform::parsePid(invalid, &pid)) << invalid;
    EXPECT_EQ(pid, -1) << invalid;
  }
}

// A read that a signal interrupts is retried and the pieces joined until the
// end of the file; a failed read reports its errno.
TEST(DescriptorTest, ReadRetriesInterruptedReadsUntilTheEnd) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const solvarium::platform::Descriptor in(fds[0]);
  struct sigaction action = {}, old = {};
  action.sa_handler = [](int) {};  // no SA_RESTART: the blocked read fails with EINTR
  ASSERT_EQ(::sigaction(SIGUSR1, &action, &old), 0);
  std::thread writer([out = fds[1], reader = ::pthread_self()] {
    (void)!::write(out, "ab", 2);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ::pthread_kill(reader, SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    (void)!::write(out, "cd", 2);
    ::close(out);
  });
  char buffer[8];
  int error = -1;
  EXPECT_EQ(in.read(buffer, sizeof buffer, &error), 4u);
  writer.join();
  ::sigaction(SIGUSR1, &old, nullptr);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(error, 0);

  const solvarium::platform::Descriptor folder(::open(".", O_RDONLY | O_CLOEXEC));
  EXPECT_EQ(folder.read(buffer, 1, &error), 0u);
  EXPECT_EQ(error, EISDIR);
}

}  // namespace
