// The Grend "aaS." command interpreter over the kind's state: getters of what
// the solver side announced, the monitor listing and its save to
// "monitor.json", the minute tick and the auto-save period. Every failure is
// the kind's one error exception.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_

#include <cstdint>
#include <list>
#include <string>

#include "AAS_CORBA.hh"
#include "solvers/grend/grend_monitor_files.h"

namespace solvarium {
class CInstantScripting;
}

namespace GREND {

// What the solver side announced through "broadcast::" messages, and the
// auto-save clock.
struct GrendState {
  std::list<std::string> errorMessages;
  MonitorFileTable activeMonitorFiles;
  MonitorFileTable openMonitorFiles;
  std::string commandLineInputFile;
  std::string commandLineJobName;
  std::string rpcPort;
  std::string overallProgress;
  std::string currentStepDescription;
  std::string currentStepProgress;
  std::string currentLoadStep;
  std::string collaborativeSolverUnitIor;
  std::string dashFolder;  // GREND_DASH_DIR_FOLDER as read at start-up; "" when unset
  int32_t minuteCounter = 0;
  int32_t autoSavePeriod = 60;  // minutes
};

// Answers `command`; `flags` answers "aaS.get_status". Raises EKorlenUnknown
// (code 1) for every failure.
std::string interpretGrendCommand(const std::string& command, GrendState* state,
                                  const solvarium::CInstantScripting& flags);

// EKorlenUnknown with code 1, empty scope and interface name.
AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown grendError(const std::string& description,
                                                               const std::string& operation,
                                                               const std::string& moreInfo);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
