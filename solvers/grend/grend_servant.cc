#include "solvers/grend/grend_servant.h"

#include <algorithm>
#include <cstdlib>

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/watcher_buffers.h"
#include "solvers/grend/grend_interpreter.h"

namespace GREND {

CGrendSolvarium::CGrendSolvarium(CORBA::ORB_ptr orbArgument)
    : orb(CORBA::ORB::_duplicate(orbArgument)),
      scripting(nullptr),
      solverUnit(nullptr),
      fileSystem(nullptr),
      minuteCounter(0),
      autoSavePeriod(60) {
  solvarium::createGenericServants(solvarium::kKindGrend, this, &scripting, &solverUnit,
                                   &fileSystem);
  scripting->setStateFlag("aas-off", true);
  for (const std::string& name : grendCommandNames()) supportedCommands.insert(name);
}

CGrendSolvarium::~CGrendSolvarium() {
  solvarium::deleteGenericServants(&scripting, &solverUnit, &fileSystem);
}

PortableServer::POA_ptr CGrendSolvarium::_default_POA() { return solvarium::servantPoa(); }

CORBA::Boolean CGrendSolvarium::shutdown() {
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(orb.in());
  return true;
}

char* CGrendSolvarium::getCoSolverUnitIor() {
  const solvarium::SerialCall serial;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = solverUnit->_this();
  return orb->object_to_string(unit.in());
}

std::string CGrendSolvarium::dashFolderPath(const std::string& fileName) {
  const char* folder = std::getenv("GREND_DASH_DIR_FOLDER");
  if (folder == nullptr || *folder == '\0') return fileName;
  std::string path = folder;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path + "/" + fileName;
}

CORBA::ORB_ptr CGrendSolvarium::ownerOrb() { return orb.in(); }

char* CGrendSolvarium::interpretCommand(const char* command) {
  return executeCommandToString(command);
}

std::string CGrendSolvarium::getIor() {
  AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit_var self = _this();
  CORBA::String_var text = orb->object_to_string(self.in());
  return text.in();
}

std::string CGrendSolvarium::ownerIorText() { return getIor(); }

solvarium::CInstantScripting* CGrendSolvarium::scriptingServant() { return scripting; }
solvarium::CCoFileSystem* CGrendSolvarium::fileSystemServant() { return fileSystem; }
solvarium::CCoSolverUnit* CGrendSolvarium::solverUnitServant() { return solverUnit; }
std::string CGrendSolvarium::collaborativeIorText() { return collaborativeSolverUnitIor; }

}  // namespace GREND
