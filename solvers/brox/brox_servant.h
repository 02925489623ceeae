// BROX::CBROXSolvarium: servant of ICoBROXUnit and root object of the Brox
// kind (a solvarium::SolverKind, which owns the three generic servants). It
// owns the command interpreter (BroxInterpreter), keeps the solver's
// broadcast state (in the state flags SolverKind owns) and follows the
// solver process.
//
// One per process, created by the kind's record with the ORB. Requests reach
// it through the ORB-controlled servant POA, and every operation runs under
// SerialCall, one at a time; the servant takes no lock of its own. The
// solver probe runs before SerialCall is taken, with no lock: it keeps its
// result in the calling thread and reads the thread-safe process hold.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_

#include <memory>

#include "AAS_CORBA.hh"
#include "platform/process.h"
#include "service/environment.h"
#include "service/servant_poa.h"
#include "service/solver_kind.h"
#include "solvers/brox/brox_interpreter.h"

namespace BROX {

class CBROXSolvarium : public solvarium::Servant<POA_AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit>,
                       public solvarium::SolverKind {
 public:
  // Creates the three generic servants and the interpreter, with BROXBINDIR
  // and KORLEN_BROXSOLVE_PID of `environment` (the one read at start-up).
  // Throws the solvarium::StartupError of the monitoring object's checks
  // (BROXBINDIR missing or empty, working directory unusable), or "Error
  // setting up Brox monitoring!" when it cannot be allocated.
  CBROXSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment);
  ~CBROXSolvarium() override;
  CBROXSolvarium(const CBROXSolvarium&) = delete;
  CBROXSolvarium& operator=(const CBROXSolvarium&) = delete;

  // ICoBROXUnit. A "broadcast::" message from the solver side; never raises.
  void addGenericExceptionMessage(const char* message) override;
  // The operation of a client that holds an ICoBROXUnit reference: run()
  // with the script errors and questions that the operation may not raise
  // carried as EKorlenUnknown with their text.
  char* executeCommandToString(const char* command) override;
  // Asks the ORB to stop its event loop; always true.
  CORBA::Boolean shutdown() override;

  // SolverKind. The final save: "monitor.json" through up to ten tries, one
  // right after the other, the last one a program's time limit ended; when
  // all fail, a line in "aas_instant_error.txt".
  PortableServer::ServantBase* kindServant() override { return this; }
  bool finalSave() override;

 private:
  // Sets "solver-alive", or "solver-alive" off and "solver-shutdown" on,
  // from the process named by KORLEN_BROXSOLVE_PID (unset, empty,
  // non-numeric or <= 0 disables the check), through the hold on it that the
  // watcher took at start-up (solver_process_hold.h). Takes the probe that
  // beforeCommand() made in this thread, else probes itself.
  void checkSolverAlive();

  // SolverKind: probes the solver process outside the serialising lock for
  // the command this thread runs next.
  void beforeCommand() override;
  // SolverKind: the interpreter; raises the BROXInstant exceptions (script
  // errors and questions too).
  char* interpret(const char* command) override;

  // The hold on the solver process; null: no solver to check. Set by the
  // constructor only, so request threads read it outside the serialising lock.
  const std::shared_ptr<solvarium::platform::ProcessWatch> solver_;
  std::unique_ptr<BroxInterpreter> interpreter_;
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
