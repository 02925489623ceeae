// Registration of the Grend kind with the solver object.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_

namespace GREND {

// Registers the Grend kind's factory (kind 3).
void registerGrendKind();

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_KIND_H_
