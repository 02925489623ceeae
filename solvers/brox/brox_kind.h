// The Brox kind as the service core sees it (see service/solver_kind.h).
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_

#include "service/solver_kind.h"

namespace BROX {

// "-solver brox" or a program name containing "BROXSolvarium": the key is the
// ICoBROXUnit reference, the watcher follows KORLEN_BROXSOLVE_PID.
const solvarium::SolverKindRecord& broxKind();

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_
