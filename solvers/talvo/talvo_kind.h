// The Talvo kind as the service core sees it (see service/solver_kind.h).
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_

#include "service/solver_kind.h"

namespace TALVO {

// "-solver talvo" or a program name containing "TalvoSolvarium": the key is
// the ITalvoExceptionHolder reference; the session manager is required; the
// watcher follows KORLEN_PELLIX_PID when it is set.
const solvarium::SolverKindRecord& talvoKind();

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_
