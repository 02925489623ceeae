// SolverObject: owns the servant of the chosen solver kind for the life of
// the service, tells the server which IOR to publish and has the kind's own
// interpreter save the monitors once more at shutdown. The kind is reached
// through its registered SolverKind. Main thread only.
#ifndef SOLVARIUM_SERVICE_SOLVER_OBJECT_H_
#define SOLVARIUM_SERVICE_SOLVER_OBJECT_H_

#include <memory>
#include <string>

#include "KORLEN_AAS_v1_0_0.hh"
#include "service/solver_kind.h"
#include "service/udf_description.h"

namespace solvarium {

class SolverObject {
 public:
  // Creates the kind's servant (which creates its generic servants) and
  // activates every servant of the kind, each once (see activateServant()).
  // Throws a std::string for a kind whose servant is not part of this build
  // or a servant that cannot be activated, and passes on what the kind's
  // factory throws. `udf` is used for kind 4 only; `environment` goes to the
  // factory.
  SolverObject(CORBA::ORB_ptr orb, int kind, const UdfDescription* udf,
               const Environment& environment);
  // Deletes the kind's servant (after the event loop has ended).
  ~SolverObject();
  SolverObject(const SolverObject&) = delete;
  SolverObject& operator=(const SolverObject&) = delete;

  // "" when this build has the kind's servant, else one line naming the
  // kind (without "\n").
  static std::string unavailableKindMessage(int kind);

  // IOR text of the kind's published servant; "" for an unknown kind.
  std::string publishedIor();
  // IOR text of the generic solver unit; "" for an unknown kind.
  std::string solverUnitIor();

  // The final save through the kind's own interpreter (see SolverKind).
  // "Invalid solver type" for an unknown kind. Answers a fresh string that
  // the caller frees.
  char* saveMonitorsJson();

 private:
  std::unique_ptr<SolverKind> kind_;
  CORBA::ORB_var orb_;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var solverUnit_;
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_OBJECT_H_
