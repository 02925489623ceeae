#include "solvers/grend/grend_servant.h"

#include <algorithm>

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/watcher_buffers.h"

namespace GREND {

CGrendSolvarium::CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
    : orb_(CORBA::ORB::_duplicate(orb)) {
  state_.dashFolder = environment.valueOr("GREND_DASH_DIR_FOLDER", "");
  solvarium::createGenericServants(solvarium::kKindGrend, this, &scripting_, &solverUnit_,
                                   &fileSystem_);
  scripting_->setStateFlag("aas-off", true);
}

CGrendSolvarium::~CGrendSolvarium() {
  solvarium::deleteGenericServants(&scripting_, &solverUnit_, &fileSystem_);
}

PortableServer::POA_ptr CGrendSolvarium::_default_POA() { return solvarium::servantPoa(); }

char* CGrendSolvarium::executeCommandToString(const char* command) {
  const solvarium::SerialCall serial;
  return CORBA::string_dup(
      interpretGrendCommand(command != nullptr ? command : "", &state_, *scripting_).c_str());
}

CORBA::Boolean CGrendSolvarium::shutdown() {
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(orb_.in());
  return true;
}

char* CGrendSolvarium::getCoSolverUnitIor() {
  const solvarium::SerialCall serial;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = solverUnit_->_this();
  return orb_->object_to_string(unit.in());
}

std::string CGrendSolvarium::dashFolderPath(const std::string& fileName) const {
  if (state_.dashFolder.empty()) return fileName;
  std::string path = state_.dashFolder;
  std::replace(path.begin(), path.end(), '\\', '/');
  return path + "/" + fileName;
}

CORBA::ORB_ptr CGrendSolvarium::ownerOrb() { return orb_.in(); }

char* CGrendSolvarium::interpretCommand(const char* command) {
  return executeCommandToString(command);
}

std::string CGrendSolvarium::getIor() {
  AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit_var self = _this();
  CORBA::String_var text = orb_->object_to_string(self.in());
  return text.in();
}

std::string CGrendSolvarium::ownerIorText() { return getIor(); }

solvarium::CInstantScripting* CGrendSolvarium::scriptingServant() { return scripting_; }
solvarium::CCoFileSystem* CGrendSolvarium::fileSystemServant() { return fileSystem_; }
solvarium::CCoSolverUnit* CGrendSolvarium::solverUnitServant() { return solverUnit_; }
std::string CGrendSolvarium::collaborativeIorText() { return state_.collaborativeSolverUnitIor; }

}  // namespace GREND
