// Registration of the Brox kind with the solver object.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_

namespace BROX {

// Registers the Brox kind's factory (kind 1).
void registerBroxKind();

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_KIND_H_
