// "solver-unit OP [ARG]": every operation of ICoSolverUnit.
// Reference results print as IOR text ("nil" for a nil reference).
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

namespace S = ::KORLEN_AAS_v1_0_0::Solvers;

S::ICoSolverUnit_ptr solverUnit(const ClientContext& ctx) {
  return narrowTarget<S::ICoSolverUnit>(ctx, "ICoSolverUnit");
}

// An operation without arguments whose result is an object reference.
template <class Ptr>
Operation referenceGetter(const char* name, Ptr (S::_objref_ICoSolverUnit::*getter)()) {
  return {name, "", 0, false, [getter](ClientContext& ctx, const OperationArgs&) {
            S::ICoSolverUnit_var unit = solverUnit(ctx);
            CORBA::Object_var ref = (unit.in()->*getter)();
            printReference(ctx, ref);
          }};
}

}  // namespace

std::vector<Verb> solverUnitVerbs() {
  Verb verb{"solver-unit", "ICoSolverUnit of the key (the \"instant_\" key file)", {}};
  auto& ops = verb.operations;
  ops.push_back({"getSolverId", "", 0, false, [](ClientContext& ctx, const OperationArgs&) {
                   S::ICoSolverUnit_var unit = solverUnit(ctx);
                   CORBA::String_var text = unit->getSolverId();
                   printText(ctx, text);
                 }});
  ops.push_back({"getAcessType", "", 0, false, [](ClientContext& ctx, const OperationArgs&) {
                   S::ICoSolverUnit_var unit = solverUnit(ctx);
                   CORBA::String_var text = unit->getAcessType();
                   printText(ctx, text);
                 }});
  ops.push_back(referenceGetter("getCollaborativeSolverUnit", &S::_objref_ICoSolverUnit::getCollaborativeSolverUnit));
  ops.push_back(referenceGetter("getInstantSolverUnit", &S::_objref_ICoSolverUnit::getInstantSolverUnit));
  ops.push_back(referenceGetter("getCommandScripting", &S::_objref_ICoSolverUnit::getCommandScripting));
  ops.push_back(referenceGetter("getReportScripting", &S::_objref_ICoSolverUnit::getReportScripting));
  ops.push_back(referenceGetter("getAdvancedParameters", &S::_objref_ICoSolverUnit::getAdvancedParameters));
  ops.push_back({"getPublicParameters", "NAME", 1, false,
                 [](ClientContext& ctx, const OperationArgs& args) {
                   S::ICoSolverUnit_var unit = solverUnit(ctx);
                   CORBA::Object_var ref = unit->getPublicParameters(args[0].c_str());
                   printReference(ctx, ref);
                 }});
  ops.push_back(referenceGetter("getCollaborativeControls", &S::_objref_ICoSolverUnit::getCollaborativeControls));
  ops.push_back(referenceGetter("getFileSystem", &S::_objref_ICoSolverUnit::getFileSystem));
  return {verb};
}

}  // namespace client
}  // namespace solvarium
