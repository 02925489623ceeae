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

}  // namespace

std::vector<Verb> solverUnitVerbs() {
  using I = S::ICoSolverUnit;
  using O = Obj<I>;
  Verb verb{"solver-unit", "ICoSolverUnit of the key (the \"instant_\" key file)", {}};
  verb.operations = {
      call<I, solverUnit>("getSolverId", "", &O::getSolverId),
      call<I, solverUnit>("getAcessType", "", &O::getAcessType),
      call<I, solverUnit>("getCollaborativeSolverUnit", "", &O::getCollaborativeSolverUnit),
      call<I, solverUnit>("getInstantSolverUnit", "", &O::getInstantSolverUnit),
      call<I, solverUnit>("getCommandScripting", "", &O::getCommandScripting),
      call<I, solverUnit>("getReportScripting", "", &O::getReportScripting),
      call<I, solverUnit>("getAdvancedParameters", "", &O::getAdvancedParameters),
      call<I, solverUnit>("getPublicParameters", "NAME", &O::getPublicParameters),
      call<I, solverUnit>("getCollaborativeControls", "", &O::getCollaborativeControls),
      call<I, solverUnit>("getFileSystem", "", &O::getFileSystem),
  };
  return {verb};
}

}  // namespace client
}  // namespace solvarium
