#include "solvers/grend/grend_servant.h"

#include "service/instant_scripting.h"
#include "solvers/generic_twins.h"
#include "solvers/grend/grend_broadcast.h"
#include "solvers/grend/grend_kind.h"

namespace GREND {

CGrendSolvarium::CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
    : KindServant(orb, grendKind().texts, solvarium::twin::rethrowGrendInstantTwin) {
  state_.dashFolder = dashFolderOf(environment);
  scriptingServant()->stateFlags().set("aas-off", true);
}

void CGrendSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  dispatchGrendMessage(message != nullptr ? message : "", &state_,
                       &scriptingServant()->stateFlags());
}

char* CGrendSolvarium::executeCommandToString(const char* command) {
  return run(command, Raises::kKindModule);
}

char* CGrendSolvarium::interpret(const char* command) {
  return CORBA::string_dup(
      interpretGrendCommand(command, &state_, scriptingServant()->stateFlags()).c_str());
}

}  // namespace GREND
