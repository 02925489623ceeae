// CCoSolverUnit: servant of KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit, a
// client's generic entry point. It answers who the solver is and hands out
// the owner's scripting and file-system objects; four operations are not
// offered and raise ENotSupported.
//
// Ownership: created by its owner (the kind's root object, see SolverKind),
// which outlives it and deletes it. Threads: every operation runs under
// SerialCall, one at a time, except the remote calls of
// getCollaborativeSolverUnit, which run after it has been released.
#ifndef SOLVARIUM_SERVICE_CO_SOLVER_UNIT_H_
#define SOLVARIUM_SERVICE_CO_SOLVER_UNIT_H_

#include "KORLEN_AAS_v1_0_0.hh"
#include "service/solver_kind_owner.h"

namespace solvarium {

class CCoSolverUnit : public OwnedServant<POA_KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit> {
 public:
  using OwnedServant::OwnedServant;
  CCoSolverUnit(const CCoSolverUnit&) = delete;
  CCoSolverUnit& operator=(const CCoSolverUnit&) = delete;

  char* getSolverId() override;
  char* getAcessType() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_ptr getCollaborativeSolverUnit() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_ptr getInstantSolverUnit() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_ptr getCommandScripting() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_ptr getReportScripting() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoAdvancedParameters_ptr getAdvancedParameters() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoPublicParameters_ptr getPublicParameters(
      const char* parameterSet) override;
  KORLEN_AAS_v1_0_0::Solvers::ICoCollaborativeControls_ptr getCollaborativeControls() override;
  KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_ptr getFileSystem() override;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CO_SOLVER_UNIT_H_
