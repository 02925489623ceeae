// CSolverProcessChecker: the service's second thread. It follows the solver
// process of the chosen kind through the hold on it (solver_process_hold.h),
// sends "aaS_internal.tic_one_minute" into the kind's interpreter once a
// minute, and shuts the service down (or, for the UDF kind, ends the process)
// when the solver has gone.
//
// It learns the key only through solverUnitKeyBuffer() and calls the
// servants only through object references made from it; the servants'
// SerialCall keeps those calls apart from the main thread's requests. Once
// shutdown has begun (shutdownBegun()) it neither ticks, nor calls shutdown,
// nor ends the process.
//
// Lifetime: created by the entry and never destroyed while the process runs,
// because its thread is never joined.
#ifndef SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
#define SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_

#include <ace/Task.h>

#include <memory>
#include <string>

#include "platform/process.h"
#include "service/environment.h"
#include "service/udf_description.h"

namespace solvarium {

class CSolverProcessChecker : public ACE_Task_Base {
 public:
  // `udf` is read for kind 4 only (its "solverPid" text); `environment` is
  // the one read at start-up, looked at in the constructor only.
  CSolverProcessChecker(int kind, const UdfDescription* udf, const Environment& environment);
  ~CSolverProcessChecker() override;

  // Checks the process id that the Brox and UDF variants follow, before the
  // thread starts. Missing or invalid (not a number in 1..INT_MAX): appends
  // the error lines to the kind's error file (nothing is printed) and ends
  // the process with exit code 1. Takes the hold on the solver process of
  // Brox, UDF and (when KORLEN_PELLIX_PID is set) Talvo.
  void checkProcessId();

  // Thread body: the variant of the kind; returns 1 at once for other kinds.
  int svc() override;

  // True while process `pid` exists and has not ended (zombies count as gone).
  static bool isProcessAlive(long pid);

 private:
  int watchBroxSolver();
  int watchTalvoSolver();
  int watchGrendSolver();
  int watchUdfSolver();
  // The held solver process is alive; false before a hold is taken.
  bool solverAlive() const;

  int kind_;
  long pid_ = -1;          // Brox, Talvo and UDF: the checked process id
  const char* pidSource_ = nullptr;  // Brox, Talvo: the variable the pid comes from
  bool pidSet_ = false;    // that variable is set (UDF: always)
  std::string pidText_;    // the text it came from
  std::shared_ptr<platform::ProcessWatch> solver_;  // the hold; Grend: from the hand-over
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_PROCESS_CHECKER_H_
