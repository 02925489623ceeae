#include "solvers/grend/grend_servant.h"

#include "service/servant_poa.h"
#include "service/watcher_buffers.h"
#include "solvers/grend/grend_broadcast.h"
#include "solvers/grend/grend_kind.h"
#include "solvers/instant_kind.h"

namespace GREND {

const char kSaveCommand[] = "aaS.save_monitors_with_persisted_data monitor.json";

CGrendSolvarium::CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
    : SolverKind(orb, grendKind()) {
  state_.dashFolder = dashFolderOf(environment);
  stateFlags().set("aas-off", true);
}

CGrendSolvarium::~CGrendSolvarium() = default;

PortableServer::POA_ptr CGrendSolvarium::_default_POA() { return solvarium::servantPoa(); }

void CGrendSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  dispatchGrendMessage(message != nullptr ? message : "", &state_, &stateFlags(), [this] {
    CORBA::String_var answer = run(kSaveCommand, Raises::kKindModule);
  });
}

char* CGrendSolvarium::executeCommandToString(const char* command) {
  return run(command, Raises::kKindModule);
}

CORBA::Boolean CGrendSolvarium::shutdown() {
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(ownerOrb());
  return true;
}

char* CGrendSolvarium::getCoSolverUnitIor() {
  const solvarium::SerialCall serial;
  return CORBA::string_dup(solverUnitIor().c_str());
}

char* CGrendSolvarium::interpret(const char* command) {
  return CORBA::string_dup(
      interpretGrendCommand(command, &state_, stateFlags()).c_str());
}

void CGrendSolvarium::finalSave() { solvarium::saveWithReport(this, kSaveCommand); }

std::string CGrendSolvarium::collaborativeIorText() { return state_.collaborativeSolverUnitIor; }

}  // namespace GREND
