// The watcher's lifecycle: stop() wakes it out of any wait at once and joins
// it, and nothing happens afterwards; a solver that has gone ends the
// process when the watcher cannot shut the service down. Its cycles, with
// the kinds' own rules, on a clock that the test drives.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/solver_process_checker.h"
#include "service/watcher_buffers.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/grend/grend_kind.h"
#include "solvers/talvo/talvo_kind.h"
#include "tests/support/wait_until.h"

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
  // A child of its own (not a fork of this process): the stderr writer
  // thread that an earlier test started here would be missing in a fork.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // One stderr line says why; a pid that is none (an id that did not parse).
  for (const long pid : {static_cast<long>(child), -1L}) {
    const WatchRule rule = ruleAtStart(pid, 10);
    EXPECT_EXIT(
        {
          CSolverProcessChecker watcher(rule);
          watcher.checkProcessId({}, nullptr);
          watcher.start();
          std::this_thread::sleep_for(milliseconds(5000));
          ::_exit(3);  // the watcher did not end the process
        },
        ::testing::ExitedWithCode(0),
        // The re-run child forks a solver of its own: any pid.
        pid > 0 ? std::string("Solver watcher: solver process [0-9]+ has gone: ending the "
                              "process\n")
                : std::string("Solver watcher: the solver's process id is no process id: "
                              "ending the process\n"));
  }
}

TEST(WatcherLifecycleTest, RulesThatWouldDivideByZeroAreNotStarted) {
  WatchRule rule;
  rule.source = WatchRule::PidSource::kHandedOver;
  rule.stepMs = 60 * 1000;
  for (const std::pair<int, int>& cycleAndTick : {std::make_pair(0, 12), std::make_pair(1200, 0)}) {
    rule.cycleSteps = cycleAndTick.first;
    rule.tickEverySteps = cycleAndTick.second;
    CSolverProcessChecker watcher(rule);
    watcher.checkProcessId({}, nullptr);
    EXPECT_FALSE(watcher.start()) << cycleAndTick.first << " " << cycleAndTick.second;
  }
}

// Each wait passes at once and moves the time on, then runs `onWait` (the
// test's events at that time). Past `endMs`, every wait answers false.
class DrivenClock : public WatchClock {
 public:
  explicit DrivenClock(long endMs) : endMs_(endMs) {}
  bool wait(long ms) override {
    if (interrupted_) return false;
    now_ += ms;
    if (onWait) onWait(now_);
    if (now_ > endMs_) ranOut = true;
    return !interrupted_ && !ranOut;
  }
  void interrupt() override { interrupted_ = true; }
  long now() const { return now_; }

  std::function<void(long now)> onWait;  // set before the watcher starts
  std::atomic<bool> ranOut{false};

 private:
  const long endMs_;
  std::atomic<long> now_{0};
  std::atomic<bool> interrupted_{false};
};

// What the watcher did through its link, at driven times.
struct LinkLog {
  std::vector<long> ticks;
  std::atomic<long> shutdownAt{-1};
};

class FakeLink : public SolverLink {
 public:
  FakeLink(LinkLog* log, const DrivenClock* clock) : log_(log), clock_(clock) {}
  void execute(const char* command) override {
    EXPECT_STREQ(command, kTickCommand);
    log_->ticks.push_back(clock_->now());
  }
  void shutdown() override { log_->shutdownAt = clock_->now(); }

 private:
  LinkLog* log_;
  const DrivenClock* clock_;
};

// A stand-in solver: sleeps until killed (a minute at most).
pid_t sleepingSolver() {
  const pid_t child = ::fork();
  if (child == 0) {
    ::sleep(60);
    ::_exit(0);
  }
  return child;
}

void killSolver(pid_t solver) {
  ::kill(solver, SIGKILL);
  ::waitpid(solver, nullptr, 0);
}

// A key the watcher can read (a nil reference); the fake link ignores it.
void publishKey() {
  int argc = 0;
  CORBA::ORB_var orb = CORBA::ORB_init(argc, nullptr, "omniORB4");
  CORBA::String_var nil = orb->object_to_string(CORBA::Object::_nil());
  solverUnitKeyBuffer().set(nil.in());
}

// `kind`'s rule with the solver `pid` known at start (kAtStart) and the
// fake link.
WatchRule withFakeLink(const WatchRule& kind, long pid, LinkLog* log, const DrivenClock* clock) {
  WatchRule rule = kind;
  if (rule.source == WatchRule::PidSource::kAtStart) {
    rule.pidAtStart = [pid](const StartContext&, const KindSettings*) {
      StartPid startPid;
      startPid.pid = pid;
      return startPid;
    };
  }
  rule.connect = [log, clock](CORBA::Object_ptr) {
    return std::unique_ptr<SolverLink>(new FakeLink(log, clock));
  };
  return rule;
}

// Runs `rule` until the watcher shuts down or `clock` runs out.
void runCycle(const WatchRule& rule, DrivenClock* clock, LinkLog* log) {
  CSolverProcessChecker watcher(rule, clock);
  watcher.checkProcessId({}, nullptr);
  ASSERT_TRUE(watcher.start());
  EXPECT_TRUE(solvarium_test::waitUntil(
      [&] { return log->shutdownAt >= 0 || clock->ranOut; }, std::chrono::seconds(20)));
  watcher.stop();
}

TEST(WatcherCycleTest, AtStartRulesTickEveryMinuteAndEndWithinAMinuteOfTheSolver) {
  publishKey();
  for (const SolverKindRecord* kind : {&BROX::broxKind(), &TALVO::talvoKind()}) {
    const pid_t solver = sleepingSolver();
    ASSERT_GT(solver, 0);
    DrivenClock clock(60 * 60 * 1000);
    // The solver goes at 3 minutes, just before that round's check.
    clock.onWait = [solver](long now) {
      if (now == 180 * 1000) killSolver(solver);
    };
    LinkLog log;
    runCycle(withFakeLink(kind->watch, solver, &log, &clock), &clock, &log);
    EXPECT_EQ(log.ticks, (std::vector<long>{60 * 1000, 120 * 1000})) << kind->serverName;
    EXPECT_EQ(log.shutdownAt, 180 * 1000) << kind->serverName;
  }
  solverUnitKeyBuffer().clear();
}

TEST(WatcherCycleTest, HandedOverPidEndsAfterTheWholeCycleOrWithItsSolver) {
  publishKey();
  solverPidBuffer().clear();
  // No pid in 100 minutes: a tick every minute, then shutdown. A first
  // connection that throws is tried again.
  DrivenClock clock(200 * 60 * 1000);
  LinkLog log;
  WatchRule rule = withFakeLink(GREND::grendKind().watch, 0, &log, &clock);
  const auto connect = rule.connect;
  auto failures = std::make_shared<int>(0);
  rule.connect = [connect, failures](CORBA::Object_ptr key) -> std::unique_ptr<SolverLink> {
    if ((*failures)++ == 0) throw std::runtime_error("no memory");
    return connect(key);
  };
  runCycle(rule, &clock, &log);
  EXPECT_EQ(log.shutdownAt, 100 * 60 * 1000);
  ASSERT_EQ(log.ticks.size(), 99u);
  EXPECT_EQ(log.ticks.front(), 60 * 1000);
  EXPECT_EQ(log.ticks.back(), 99 * 60 * 1000);

  // A pid handed over (taken once seen twice) at 30 s; its solver goes at
  // 10 minutes, seen in that round, or right after its second sighting
  // (35 s), seen in that very round.
  for (const long goneAt : {10 * 60 * 1000L, 35 * 1000L}) {
    const pid_t solver = sleepingSolver();
    ASSERT_GT(solver, 0);
    DrivenClock withPid(200 * 60 * 1000);
    withPid.onWait = [solver, goneAt](long now) {
      if (now == 30 * 1000) solverPidBuffer().set(std::to_string(solver));
      if (now == goneAt) killSolver(solver);
    };
    LinkLog pidLog;
    runCycle(withFakeLink(GREND::grendKind().watch, 0, &pidLog, &withPid), &withPid, &pidLog);
    EXPECT_EQ(pidLog.shutdownAt, goneAt);
    EXPECT_EQ(pidLog.ticks.size(), goneAt > 60 * 1000 ? 9u : 0u);
    solverPidBuffer().clear();
  }
  solverUnitKeyBuffer().clear();
}

TEST(WatcherCycleTest, ARequestThatKeepsTheLockHoldsUpNeitherTicksNorTheEnd) {
  // From minute 2 on a request holds SerialCall's lock for good; the solver
  // goes at 5 minutes. The link is neither ticked nor shut down any more,
  // and the process ends with code 0, also when a stop is pending since
  // minute 3.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (const bool stopping : {false, true}) EXPECT_EXIT(
      {
        publishKey();
        const pid_t solver = sleepingSolver();
        DrivenClock clock(60 * 60 * 1000);
        std::mutex held;
        held.lock();
        std::thread request;
        LinkLog log;
        clock.onWait = [&](long now) {
          if (now == 2 * 60 * 1000) {
            std::atomic<bool> locked{false};
            request = std::thread([&] {
              const SerialCall serial;
              locked = true;
              const std::lock_guard<std::mutex> forever(held);
            });
            while (!locked) std::this_thread::yield();
            if (log.ticks.size() != 1) ::_exit(5);
          }
          if (stopping && now == 3 * 60 * 1000) requestServiceShutdown();
          if (now == 5 * 60 * 1000) killSolver(solver);
          if (now > 2 * 60 * 1000 && (log.ticks.size() != 1 || log.shutdownAt >= 0)) ::_exit(4);
        };
        CSolverProcessChecker watcher(withFakeLink(BROX::broxKind().watch, solver, &log, &clock),
                                      &clock);
        watcher.checkProcessId({}, nullptr);
        watcher.start();
        std::this_thread::sleep_for(std::chrono::seconds(10));
        ::_exit(3);  // the watcher did not end the process
      },
      ::testing::ExitedWithCode(0),
      "has gone and a request has kept the lock for 5 s: ending the process\n");
}

}  // namespace
}  // namespace solvarium
