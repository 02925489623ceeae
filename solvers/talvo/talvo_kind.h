// Registration of the Talvo kind with the solver object.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_

namespace TALVO {

// Registers the Talvo kind's factory (kind 2).
void registerTalvoKind();

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_KIND_H_
