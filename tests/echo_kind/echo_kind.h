// A solver kind that lives only in the tests: "-solver echo" answers
// "aaS.echo <words>" with the words. It has no object of its own (its key is
// the generic solver unit, in "aaS_Echo.txt"), its solver is the process in
// ECHO_SOLVER_PID, and the process ends when that one has gone. It shows
// that a kind is a folder and one registration line, beside the core.
#ifndef SOLVARIUM_TESTS_ECHO_KIND_ECHO_KIND_H_
#define SOLVARIUM_TESTS_ECHO_KIND_ECHO_KIND_H_

#include "service/solver_kind.h"

namespace echo_kind {

const solvarium::SolverKindRecord& echoKind();

}  // namespace echo_kind

#endif  // SOLVARIUM_TESTS_ECHO_KIND_ECHO_KIND_H_
