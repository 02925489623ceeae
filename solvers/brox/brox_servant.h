// BROX::CBROXSolvarium: servant of ICoBROXUnit and root object of the Brox
// kind. It owns the kind's three generic servants and the command
// interpreter (BroxInterpreter), keeps the solver's broadcast state (in the
// scripting servant's state-flag map) and follows the solver process.
//
// One per process, created by the solver object with the ORB. Requests reach
// it through the ORB-controlled servant POA, and every operation runs under
// SerialCall, one at a time; the servant takes no lock of its own, except
// for the solver probe that runs before SerialCall is taken.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_

#include <memory>
#include <string>

#include "AAS_CORBA.hh"
#include "platform/process.h"
#include "service/environment.h"
#include "service/solver_kind_owner.h"
#include "solvers/brox/brox_interpreter.h"

namespace BROX {

class CBROXSolvarium : public POA_AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit,
                       public solvarium::SolverKindOwner {
 public:
  // Creates the interpreter and the three generic servants, with BROXBINDIR
  // and KORLEN_BROXSOLVE_PID of `environment` (the one read at start-up).
  // Throws the solvarium::StartupError of the monitoring object's checks
  // (BROXBINDIR missing or empty, working directory unusable), or "Error
  // setting up Brox monitoring!" when it cannot be allocated.
  CBROXSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment);
  ~CBROXSolvarium() override;
  CBROXSolvarium(const CBROXSolvarium&) = delete;
  CBROXSolvarium& operator=(const CBROXSolvarium&) = delete;

  PortableServer::POA_ptr _default_POA() override;

  // ICoBROXUnit. A "broadcast::" message from the solver side; never raises.
  void addGenericExceptionMessage(const char* message) override;
  // The operation of a client that holds an ICoBROXUnit reference:
  // runCommand(), with the script errors and questions that the operation
  // may not raise carried as EKorlenUnknown with their text.
  char* executeCommandToString(const char* command) override;
  // The command interpreter for calls made inside the process; the answer is
  // a fresh string the caller frees. Raises the BROXInstant exceptions
  // (script errors and questions too).
  char* runCommand(const char* command) { return interpreter_->run(command); }
  // Asks the ORB to stop its event loop; always true.
  CORBA::Boolean shutdown() override;

  // Sets "solver-alive", or "solver-alive" off and "solver-shutdown" on,
  // from the process named by KORLEN_BROXSOLVE_PID (unset, empty,
  // non-numeric or <= 0 disables the check), through the hold on it that the
  // watcher took at start-up (solver_process_hold.h). Takes the probe that
  // beforeCommand() made in this thread, else probes itself.
  void checkSolverAlive();
  // SolverKindOwner: probes the solver process outside the serialising lock
  // for the command this thread runs next.
  void beforeCommand() override;
  // SolverKindOwner, for the generic servants. ownerIorText() is the IOR
  // text of this servant's own ICoBROXUnit reference (once activated).
  CORBA::ORB_ptr ownerOrb() override;
  char* interpretCommand(const char* command) override;
  std::string ownerIorText() override;
  solvarium::CInstantScripting* scriptingServant() override;
  solvarium::CCoFileSystem* fileSystemServant() override;
  solvarium::CCoSolverUnit* solverUnitServant() override;

  BroxInterpreter& interpreter() { return *interpreter_; }

  // Test hook: follows the process that `pidText` names (null: unset), as
  // the constructor does with KORLEN_BROXSOLVE_PID. Not while requests run.
  void TEST_followSolver(const char* pidText);

 private:
  void setStateFlag(const std::string& name, bool on);

  CORBA::ORB_var orb_;
  // The hold on the solver process; null: no solver to check. Read by request
  // threads outside the serialising lock, never changed once made.
  std::shared_ptr<solvarium::platform::ProcessWatch> solver_;
  std::unique_ptr<BroxInterpreter> interpreter_;
  solvarium::CInstantScripting* scripting_ = nullptr;  // owned; holds the state-flag map
  solvarium::CCoSolverUnit* solverUnit_ = nullptr;     // owned
  solvarium::CCoFileSystem* fileSystem_ = nullptr;     // owned
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
