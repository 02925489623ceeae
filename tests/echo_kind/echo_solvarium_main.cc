// The service with the built-in kinds and the test-only echo kind.
#include "service/run_service.h"
#include "service/solver_kind.h"
#include "solvers/solver_kinds.h"
#include "tests/echo_kind/echo_kind.h"

int main(int argc, char** argv) {
  solvarium::registerSolverKinds();
  solvarium::registerSolverKind(echo_kind::echoKind());
  return solvarium::runService(argc, argv);
}
