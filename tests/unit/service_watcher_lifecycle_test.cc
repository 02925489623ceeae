// The watcher's lifecycle: stop() wakes it out of any wait at once and joins
// it, and nothing happens afterwards; a solver that has gone ends the
// process when the watcher cannot shut the service down.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "service/solver_process_checker.h"

namespace solvarium {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

// A rule whose solver is `pid`, known at start-up, with rounds of `stepMs`.
WatchRule ruleAtStart(long pid, long stepMs) {
  WatchRule rule;
  rule.source = WatchRule::PidSource::kAtStart;
  rule.pidAtStart = [pid](const StartContext&, const KindSettings*) {
    StartPid startPid;
    startPid.pid = pid;
    return startPid;
  };
  rule.stepMs = stepMs;
  return rule;
}

// How long stop() takes on a watcher that is waiting.
milliseconds stopTime(CSolverProcessChecker& watcher) {
  std::this_thread::sleep_for(milliseconds(50));  // into its first wait
  const auto begin = steady_clock::now();
  watcher.stop();
  return std::chrono::duration_cast<milliseconds>(steady_clock::now() - begin);
}

TEST(WatcherLifecycleTest, StopWakesEveryKindOfWatcherAndJoinsIt) {
  const WatchRule atStart = ruleAtStart(::getpid(), 60 * 1000);
  CSolverProcessChecker watcher(atStart);
  watcher.checkProcessId({}, nullptr);
  ASSERT_TRUE(watcher.start());
  EXPECT_LT(stopTime(watcher), milliseconds(1000));
  watcher.stop();  // again: nothing to do

  WatchRule handedOver;
  handedOver.source = WatchRule::PidSource::kHandedOver;
  handedOver.stepMs = 5 * 1000;
  handedOver.cycleSteps = 1200;
  CSolverProcessChecker grendLike(handedOver);
  grendLike.checkProcessId({}, nullptr);
  ASSERT_TRUE(grendLike.start());
  EXPECT_LT(stopTime(grendLike), milliseconds(1000));

  // Nothing to watch: no thread, and stop() returns at once.
  CSolverProcessChecker none{WatchRule()};
  none.checkProcessId({}, nullptr);
  ASSERT_TRUE(none.start());
  none.stop();
}

TEST(WatcherLifecycleTest, SolverGoneWithoutAConnectionEndsTheProcessWithCodeZero) {
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) ::_exit(0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const WatchRule rule = ruleAtStart(child, 10);
  GTEST_FLAG_SET(death_test_style, "fast");
  EXPECT_EXIT(
      {
        CSolverProcessChecker watcher(rule);
        watcher.checkProcessId({}, nullptr);
        watcher.start();
        std::this_thread::sleep_for(milliseconds(5000));
        ::_exit(3);  // the watcher did not end the process
      },
      ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace solvarium
