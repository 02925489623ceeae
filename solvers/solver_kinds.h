// The solver kinds built into Solvarium.
#ifndef SOLVARIUM_SOLVERS_SOLVER_KINDS_H_
#define SOLVARIUM_SOLVERS_SOLVER_KINDS_H_

namespace solvarium {

// Registers every built-in kind with the service core, in the order in which
// program names choose them ("Solvarium" is part of the others' markers, so
// the UDF kind comes last). Registering again changes nothing.
void registerSolverKinds();

}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_SOLVER_KINDS_H_
