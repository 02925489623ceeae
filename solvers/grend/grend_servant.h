// GREND::CGrendSolvarium: servant of ICoGrendUnit and root object of the
// Grend kind. It owns the kind's three generic servants, keeps what the
// solver side announces through "broadcast::" messages (progress texts,
// errors, announced values, the monitor-file tables) and runs the "aaS."
// command interpreter with the auto-save clock of "monitor.json".
//
// One per process, created by the solver object with the ORB. Every call runs
// in the servant POA's single thread; the servant takes no lock. The only
// datum shared with the watcher thread is the process-id buffer.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_

#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <vector>

#include "AAS_CORBA.hh"
#include "service/solver_kind_owner.h"
#include "solvers/grend/grend_monitor_files.h"

namespace GREND {

class CGrendSolvarium : public POA_AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit,
                        public solvarium::SolverKindOwner {
 public:
  // Creates the generic servants and turns "aas-off" on. The solver object
  // activates them and this servant afterwards.
  explicit CGrendSolvarium(CORBA::ORB_ptr orb);
  ~CGrendSolvarium() override;
  CGrendSolvarium(const CGrendSolvarium&) = delete;
  CGrendSolvarium& operator=(const CGrendSolvarium&) = delete;

  PortableServer::POA_ptr _default_POA() override;

  // ICoGrendUnit. The broadcast dispatcher: raises EKorlenUnknown for a
  // monitor-file message that contradicts the tables.
  void addGenericExceptionMessage(const char* message) override;
  // The command interpreter; a fresh string the caller frees. Raises
  // EKorlenUnknown (code 1) for every failure.
  char* executeCommandToString(const char* command) override;
  // Asks the ORB to stop its event loop; always true.
  CORBA::Boolean shutdown() override;
  char* getCoSolverUnitIor() override;

  // The IOR text of this servant's ICoGrendUnit reference (once activated).
  std::string getIor();

  // GREND_DASH_DIR_FOLDER (backslashes as slashes) + "/" + fileName, or
  // fileName alone when the variable is unset or empty.
  static std::string dashFolderPath(const std::string& fileName);

  // SolverKindOwner.
  CORBA::ORB_ptr ownerOrb() override;
  char* interpretCommand(const char* command) override;
  std::string ownerIorText() override;
  solvarium::CInstantScripting* scriptingServant() override;
  solvarium::CCoFileSystem* fileSystemServant() override;
  solvarium::CCoSolverUnit* solverUnitServant() override;
  std::string collaborativeIorText() override;

  std::list<std::string> errorMessages;
  MonitorFileTable activeMonitorFiles;
  MonitorFileTable openMonitorFiles;
  std::string commandLineInputFile;
  std::string commandLineJobName;
  std::string rpcPort;
  std::set<std::string> supportedCommands;
  CORBA::ORB_var orb;
  solvarium::CInstantScripting* scripting;  // owned
  solvarium::CCoSolverUnit* solverUnit;     // owned
  solvarium::CCoFileSystem* fileSystem;     // owned
  std::string overallProgress;
  std::string currentStepDescription;
  std::string currentStepProgress;
  std::string currentLoadStep;
  std::string collaborativeSolverUnitIor;
  int32_t minuteCounter;
  int32_t autoSavePeriod;

 private:
  std::string interpret(const std::string& command, const std::vector<std::string>& words);
  std::string listMonitors(const std::vector<std::string>& words);
  std::string saveMonitors(const std::string& command, const std::vector<std::string>& words);
  std::string tick();
  std::string setAutoSavePeriod(const std::vector<std::string>& words);
  void monitorFileMessage(const std::string& event, const std::string& payload);
  void started(const std::string& payload);
  void ended(const std::string& payload);
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
