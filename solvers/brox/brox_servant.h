// BROX::CBROXSolvarium: servant of ICoBROXUnit and root object of the Brox
// kind. It owns the kind's three generic servants and the monitoring object,
// keeps the solver's broadcast state (in the scripting servant's state-flag
// map) and runs the "aaS." command interpreter.
//
// One per process, created by the solver object with the ORB. Every call runs
// in the servant POA's single thread; the servant takes no lock.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "AAS_CORBA.hh"
#include "service/solver_kind_owner.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

class BroxMonitors;

class CBROXSolvarium : public POA_AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit,
                       public solvarium::SolverKindOwner {
 public:
  // Creates the monitoring object and the three generic servants. Throws the
  // std::string of the monitoring object's checks (BROXBINDIR missing or
  // empty, working directory unusable), or "Error setting up Brox
  // monitoring!" when it cannot be allocated.
  explicit CBROXSolvarium(CORBA::ORB_ptr orb);
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
  char* runCommand(const char* command);
  // Asks the ORB to stop its event loop; always true.
  CORBA::Boolean shutdown() override;

  // Sets "solver-alive", or "solver-alive" off and "solver-shutdown" on,
  // from the process named by KORLEN_BROXSOLVE_PID (read once per process;
  // unset, empty, non-numeric or <= 0 disables the check), through the hold
  // on it that the watcher took at start-up (solver_process_hold.h). Takes
  // the probe that beforeCommand() made in this thread, else probes itself.
  void checkSolverAlive();
  // SolverKindOwner: probes the solver process outside the serialising lock
  // for the command this thread runs next.
  void beforeCommand() override;
  // Answer of "aaS.get_status": the state flags that are on, one per line.
  char* getSolverStateText();
  // Answer of "aaS.get_storage_status": the run status as JSON.
  char* getStorageStatusJson();
  // SolverKindOwner, for the generic servants. ownerIorText() is the IOR
  // text of this servant's own ICoBROXUnit reference (once activated).
  CORBA::ORB_ptr ownerOrb() override;
  char* interpretCommand(const char* command) override;
  std::string ownerIorText() override;
  solvarium::CInstantScripting* scriptingServant() override;
  solvarium::CCoFileSystem* fileSystemServant() override;
  solvarium::CCoSolverUnit* solverUnitServant() override;

  // Test hook: makes the next command read KORLEN_BROXSOLVE_PID again.
  static void TEST_resetSolverPidCache();

  // Fields, read and written by the interpreter, the generic servants and
  // the monitoring object.
  CORBA::ORB_var orb;
  int32_t tickMinutes;             // minutes counted by the minute tick
  int32_t autoSavePeriodMinutes;   // period of "aaS.set_auto_save_period_json_monitors"
  solvarium::CInstantScripting* scripting;  // owned; holds the state-flag map
  solvarium::CCoSolverUnit* solverUnit;     // owned
  solvarium::CCoFileSystem* fileSystem;     // owned
  BroxMonitors* monitors;          // owned
  // Report-plot will: session name -> "plot-list" <list> "variable-list" <list>.
  Will will;
  // Command names answered by "aaS.suggest" and "aaS.implements.".
  std::set<std::string> supportedCommands;

 private:
  std::string interpret(const std::string& command,
                        const std::vector<std::string>& tokens);
  std::string getenvCommand(const std::string& command,
                            const std::vector<std::string>& tokens);
  std::string runListCommand(const std::string& command,
                             const std::vector<std::string>& tokens, bool activeOnly);
  std::string reportPlotCommand(const std::string& command,
                                const std::vector<std::string>& tokens);
  std::string setCommand(const std::string& command,
                         const std::vector<std::string>& tokens);
  std::string getCommand(const std::string& command,
                         const std::vector<std::string>& tokens);
  std::string autoSavePeriodCommand(const std::string& command,
                                    const std::vector<std::string>& tokens);
  std::string tickCommand();
  std::string retrieveWillMetadataCommand(const std::string& command,
                                          const std::vector<std::string>& tokens);
  std::string saveReportPlotsCommand(const std::string& command,
                                     const std::vector<std::string>& tokens);
  // Runs a composed command through this interpreter; answers its inner text.
  std::string composedInnerText(const std::string& command);
  void setStateFlag(const std::string& name, bool on);
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_SERVANT_H_
