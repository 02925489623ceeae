// CSolverProcessChecker: the service's watcher thread. It follows the
// solver process of the chosen kind through the hold on it
// (solver_process_hold.h), by the kind's WatchRule: it sends the minute tick
// into the kind's interpreter, and shuts the service down (or ends the
// process) when the solver has gone.
//
// It learns the key only through solverUnitKeyBuffer() and calls the
// servants only through object references made from it (local calls, run
// in its own thread). Each round decides the solver's liveness first, and
// it never waits on a request: it connects and ticks only when SerialCall's
// lock is free (else they wait for the next round), and when a request keeps
// the lock past a bounded wait, the orderly shutdown gives way to ending the
// process with code 0. Once shutdown has begun (shutdownBegun()) it neither
// ticks nor calls shutdown, but goes on watching: a solver that goes then
// ends the process when a request keeps the lock (or at once under a rule
// without shutdown), unless the final save has begun (claimTheEnd()).
//
// Lifetime: made by the entry; stop() (also run by the destructor) wakes
// the thread out of any wait and joins it. The entry stops it after the
// event loop has ended and before the ORB is destroyed.
#ifndef SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
#define SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_

#include <memory>
#include <string>
#include <thread>

#include "platform/process.h"
#include "service/solver_kind.h"

namespace solvarium {

// The watcher's waits: the steady clock in the service, a clock that a test
// drives in unit tests. Called from the watcher thread, except interrupt().
class WatchClock {
 public:
  virtual ~WatchClock() = default;
  // Waits `ms`; false, at once or early, once interrupt() has been called.
  virtual bool wait(long ms) = 0;
  // Ends the wait under way and every later one. Any thread.
  virtual void interrupt() = 0;
};

class CSolverProcessChecker {
 public:
  // Follows the solver by `rule` (copied), timed by `clock` (not owned; it
  // outlives the watcher), else by the steady clock.
  explicit CSolverProcessChecker(WatchRule rule, WatchClock* clock = nullptr);
  ~CSolverProcessChecker();
  CSolverProcessChecker(const CSolverProcessChecker&) = delete;
  CSolverProcessChecker& operator=(const CSolverProcessChecker&) = delete;

  // Before the thread starts: reads the process id of a kAtStart rule. A
  // refusal is appended to the rule's refusal file (nothing is printed) and
  // ends the process with exit code 1; otherwise the hold is taken.
  void checkProcessId(const StartContext& context, const KindSettings* settings);

  // Starts the thread when the rule watches anything; false when it cannot
  // be started or its timings are unusable (a count below 1, a negative
  // wait), with the reason on stderr.
  bool start();

  // Wakes the thread out of its wait and joins it; it then neither ticks nor
  // ends the process. Returns at once when no thread runs.
  void stop();

 private:
  void watchPidAtStart();
  void watchHandedOverPid();
  // Waits `ms`; false when stop() was called.
  bool wait(long ms) { return clock_->wait(ms); }
  // Both skipped while a request holds SerialCall's lock.
  void connect();
  void tick();
  // The solver has gone by the rule `why`: shutdown through the link, else
  // the process ends; one stderr line names `why` and which.
  void solverGone(std::string why);
  std::string goneReason() const;
  // The held solver process is alive; false before a hold is taken.
  bool solverAlive() const;

  const WatchRule rule_;
  std::unique_ptr<WatchClock> ownClock_;  // null when the clock was handed in
  WatchClock* const clock_;
  bool watched_ = false;
  std::shared_ptr<platform::ProcessWatch> solver_;  // the hold (watcher thread once started)
  long solverPid_ = -1;                             // the held id, as solver_
  std::unique_ptr<SolverLink> link_;                // watcher thread only
  std::thread thread_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
