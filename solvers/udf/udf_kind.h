// The UDF kind as the service core sees it (see service/solver_kind.h).
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_

#include "service/solver_kind.h"

namespace AAS_UDF {

// "-solver 3p_aas" or a program name containing "Solvarium": a solver
// described by an XML file (read before the ORB starts) and driven by Python
// macros. The key is the generic solver unit; the watcher follows the
// description's "solverPid" and ends the process when it has gone.
const solvarium::SolverKindRecord& udfKind();

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_KIND_H_
