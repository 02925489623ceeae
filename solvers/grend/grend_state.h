// GrendState: what the Grend solver side announced through "broadcast::"
// messages, the monitor-file tables, the monitor folder and the auto-save
// clock. A plain structure: the broadcast dispatcher and the command
// interpreter are functions over it; grendError() is the error of both.
//
// Owned by the Grend servant; used one request at a time, no lock.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_STATE_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_STATE_H_

#include <cstdint>
#include <list>
#include <string>

#include "AAS_CORBA.hh"
#include "solvers/grend/grend_monitor_files.h"

namespace GREND {

// The kind's one error: EKorlenUnknown with code 1, empty scope and
// interface name.
inline AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown grendError(
    const std::string& description, const std::string& operation, const std::string& moreInfo) {
  return AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown(
      1, description.c_str(), "", "", operation.c_str(), moreInfo.c_str());
}

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
  std::string dashFolder;  // dashFolderOf() the environment read at start-up
  int32_t minuteCounter = 0;
  int32_t autoSavePeriod = 60;  // minutes
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_STATE_H_
