#include "solvers/grend/grend_servant.h"

#include "solvers/grend/grend_broadcast.h"
#include "solvers/grend/grend_interpreter.h"
#include "solvers/grend/grend_kind.h"

namespace GREND {

const char kSaveCommand[] = "aaS.save_monitors_with_persisted_data monitor.json";

CGrendSolvarium::CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
    : KindServant(orb, grendKind()) {
  state_.dashFolder = dashFolderOf(environment);
  stateFlags().set("aas-off", true);
}

void CGrendSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  dispatchGrendMessage(message != nullptr ? message : "", &state_, &stateFlags(), [this] {
    CORBA::String_var answer = run(kSaveCommand, Raises::kKindModule);
  });
}

char* CGrendSolvarium::executeCommandToString(const char* command) {
  return run(command, Raises::kKindModule);
}

char* CGrendSolvarium::interpret(const char* command) {
  return CORBA::string_dup(
      interpretGrendCommand(command, &state_, stateFlags()).c_str());
}

}  // namespace GREND
