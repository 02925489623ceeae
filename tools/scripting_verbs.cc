// "script COMMAND..." and "script-op OP [ARG...]": ICoScripting,
// reached through ICoSolverUnit::getCommandScripting, or directly when the key
// is the IOR of an ICoScripting.
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

namespace S = ::KORLEN_AAS_v1_0_0::Solvers;

S::ICoScripting_ptr commandScripting(const ClientContext& ctx) {
  S::ICoSolverUnit_var unit = S::ICoSolverUnit::_narrow(ctx.target);
  if (!CORBA::is_nil(unit)) {
    S::ICoScripting_var scripting = unit->getCommandScripting();
    requireReference(scripting, "ICoScripting");
    return scripting._retn();
  }
  return narrowTarget<S::ICoScripting>(ctx, "ICoSolverUnit or ICoScripting");
}

}  // namespace

std::vector<Verb> scriptingVerbs() {
  using I = S::ICoScripting;
  using O = Obj<I>;
  Verb script{"script", "executeToString of the command scripting; the words form one command", {}};
  script.operations = {call<I, commandScripting>("", "COMMAND...", &O::executeToString)};
  Verb op{"script-op", "any ICoScripting operation of the command scripting", {}};
  op.operations = {
      call<I, commandScripting>("getScriptingLanguageId", "", &O::getScriptingLanguageId),
      call<I, commandScripting>("getAcessType", "", &O::getAcessType),
      call<I, commandScripting>("getStatus", "", &O::getStatus),
      call<I, commandScripting>("execute", "COMMAND...", &O::execute),
      call<I, commandScripting>("executeToString", "COMMAND...", &O::executeToString),
      call<I, commandScripting>("executeDelayed", "COMMAND...", &O::executeDelayed),
      call<I, commandScripting>("retrieveDelayedOutput", "TICKET", &O::retrieveDelayedOutput),
  };
  return {script, op};
}

}  // namespace client
}  // namespace solvarium
