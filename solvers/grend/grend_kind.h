// The Grend kind as the service core sees it (see service/solver_kind.h).
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_

#include "service/solver_kind.h"

namespace GREND {

// "-solver grend" or a program name containing "GrendSolvarium": the key is
// the ICoGrendUnit reference (a copy goes to GREND_DASH_DIR_FOLDER); the
// session manager is required; the solver side hands its process id over.
const solvarium::SolverKindRecord& grendKind();

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_
