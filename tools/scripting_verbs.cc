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

void runExecuteToString(ClientContext& ctx, const OperationArgs& args) {
  S::ICoScripting_var scripting = commandScripting(ctx);
  CORBA::String_var answer = scripting->executeToString(args[0].c_str());
  printText(ctx, answer);
}

}  // namespace

std::vector<Verb> scriptingVerbs() {
  Verb script{"script", "executeToString of the command scripting; the words form one command", {}};
  script.operations.push_back({"", "COMMAND...", 0, true, runExecuteToString});

  Verb op{"script-op", "any ICoScripting operation of the command scripting", {}};
  auto& ops = op.operations;
  ops.push_back({"getScriptingLanguageId", "", 0, false, [](ClientContext& ctx, const OperationArgs&) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   CORBA::String_var text = scripting->getScriptingLanguageId();
                   printText(ctx, text);
                 }});
  ops.push_back({"getAcessType", "", 0, false, [](ClientContext& ctx, const OperationArgs&) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   CORBA::String_var text = scripting->getAcessType();
                   printText(ctx, text);
                 }});
  ops.push_back({"getStatus", "", 0, false, [](ClientContext& ctx, const OperationArgs&) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   ::KORLEN_AAS_v1_0_0::Types::CoStrings_var names = scripting->getStatus();
                   printStrings(names.in());
                 }});
  ops.push_back({"execute", "COMMAND...", 0, true, [](ClientContext& ctx, const OperationArgs& args) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   scripting->execute(args[0].c_str());
                 }});
  ops.push_back({"executeToString", "COMMAND...", 0, true, runExecuteToString});
  ops.push_back({"executeDelayed", "COMMAND...", 0, true, [](ClientContext& ctx, const OperationArgs& args) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   CORBA::String_var text = scripting->executeDelayed(args[0].c_str());
                   printText(ctx, text);
                 }});
  ops.push_back({"retrieveDelayedOutput", "TICKET", 1, false, [](ClientContext& ctx, const OperationArgs& args) {
                   S::ICoScripting_var scripting = commandScripting(ctx);
                   CORBA::String_var text = scripting->retrieveDelayedOutput(args[0].c_str());
                   printText(ctx, text);
                 }});
  return {script, op};
}

}  // namespace client
}  // namespace solvarium
