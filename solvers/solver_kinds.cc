// The solver kinds built into Solvarium. A new kind adds its registration here.
#include "solvers/solver_kinds.h"

#include "service/solver_kind.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/grend/grend_kind.h"
#include "solvers/talvo/talvo_kind.h"
#include "solvers/udf/udf_kind.h"

namespace solvarium {

void registerSolverKinds() {
  registerSolverKind(BROX::broxKind());
  registerSolverKind(TALVO::talvoKind());
  registerSolverKind(GREND::grendKind());
  registerSolverKind(AAS_UDF::udfKind());
}

}  // namespace solvarium
