// Entry of Solvarium: the kinds built into the program, then the service.
#include "service/run_service.h"
#include "solvers/solver_kinds.h"

int main(int argc, char** argv) {
  solvarium::registerSolverKinds();
  return solvarium::runService(argc, argv);
}
