// The hold on the solver process: one platform::ProcessWatch shared by the
// watcher thread and the kind servant that answers "solver-alive". It is
// taken once, when the solver's process id becomes known (at start-up, or
// when the kind hands it over), so that a process that later takes over the
// id is never taken for the solver.
// Thread-safe.
#ifndef SOLVARIUM_SERVICE_SOLVER_PROCESS_HOLD_H_
#define SOLVARIUM_SERVICE_SOLVER_PROCESS_HOLD_H_

#include <memory>

#include "platform/process.h"

namespace solvarium {

// The hold of `pid`: the one already taken when it follows `pid`, else a new
// one, which then replaces it. Never null; a pid <= 0 is never alive.
std::shared_ptr<platform::ProcessWatch> holdSolverProcess(long pid);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_PROCESS_HOLD_H_
