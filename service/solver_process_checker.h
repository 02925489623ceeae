// CSolverProcessChecker: the service's watcher thread. It follows the
// solver process of the chosen kind through the hold on it
// (solver_process_hold.h), by the kind's WatchRule: it sends the minute tick
// into the kind's interpreter, and shuts the service down (or ends the
// process) when the solver has gone.
//
// It learns the key only through solverUnitKeyBuffer() and calls the
// servants only through object references made from it (local calls in its
// own thread); the servants' SerialCall keeps those calls apart from the
// clients' requests, which run in the connections' threads. Once shutdown
// has begun (shutdownBegun()) it starts no tick and no shutdown call and
// does not end the process; a call already under way still finishes.
//
// Lifetime: made by the entry; stop() (also run by the destructor) wakes
// the thread out of any wait and joins it. The entry stops it after the
// event loop has ended and before the ORB is destroyed.
#ifndef SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
#define SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/process.h"
#include "service/solver_kind.h"

namespace solvarium {

class CSolverProcessChecker {
 public:
  // Follows the solver by `rule` (copied).
  explicit CSolverProcessChecker(WatchRule rule);
  ~CSolverProcessChecker();
  CSolverProcessChecker(const CSolverProcessChecker&) = delete;
  CSolverProcessChecker& operator=(const CSolverProcessChecker&) = delete;

  // Before the thread starts: reads the process id of a kAtStart rule. A
  // refusal is appended to the rule's refusal file (nothing is printed) and
  // ends the process with exit code 1; otherwise the hold is taken.
  void checkProcessId(const StartContext& context, const KindSettings* settings);

  // Starts the thread when the rule watches anything; false when it cannot
  // be started.
  bool start();

  // Wakes the thread out of its wait and joins it; it then neither ticks nor
  // ends the process. Returns at once when no thread runs.
  void stop();

  // True while process `pid` exists and has not ended (zombies count as gone).
  static bool isProcessAlive(long pid);

 private:
  void watchPidAtStart();
  void watchHandedOverPid();
  // Waits `ms`; false when stop() was called.
  bool wait(long ms);
  void connect();
  void tick();
  // The solver has gone: shutdown through the link, else the process ends.
  void solverGone();
  // The held solver process is alive; false before a hold is taken.
  bool solverAlive() const;

  const WatchRule rule_;
  bool watched_ = false;
  std::shared_ptr<platform::ProcessWatch> solver_;  // the hold (watcher thread once started)
  std::unique_ptr<SolverLink> link_;                // watcher thread only

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
