// The solver kinds built into Solvarium. A new kind adds its registration here.
#include "service/solver_kind.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/udf/udf_kind.h"

namespace solvarium {

void registerSolverKinds() {
  BROX::registerBroxKind();
  AAS_UDF::registerUdfKind();
}

}  // namespace solvarium
