// GREND::CGrendSolvarium: servant of ICoGrendUnit and root object of the
// Grend kind (a solvarium::SolverKind, which owns the three generic
// servants). It owns the kind's state (GrendState) and forwards broadcasts
// to the dispatcher and commands to the interpreter, functions over it.
//
// One per process, created by the kind's record with the ORB. Requests reach
// it through the ORB-controlled servant POA, and every operation runs under
// SerialCall, one at a time; the servant takes no lock of its own. The only
// datum shared with the watcher thread is the process-id buffer
// (solverPidBuffer()).
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_

#include <string>

#include "AAS_CORBA.hh"
#include "service/environment.h"
#include "service/servant_poa.h"
#include "service/solver_kind.h"
#include "solvers/grend/grend_interpreter.h"

namespace GREND {

class CGrendSolvarium
    : public solvarium::Servant<POA_AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit>,
      public solvarium::SolverKind {
 public:
  // Creates the generic servants and turns "aas-off" on; the monitor folder
  // is GREND_DASH_DIR_FOLDER of `environment` (the one read at start-up).
  // The server activates this servant first, then the generic ones.
  CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment);
  ~CGrendSolvarium() override;
  CGrendSolvarium(const CGrendSolvarium&) = delete;
  CGrendSolvarium& operator=(const CGrendSolvarium&) = delete;

  PortableServer::POA_ptr _default_POA() override;

  // ICoGrendUnit. The broadcast dispatcher (grend_broadcast.h).
  void addGenericExceptionMessage(const char* message) override;
  // run(): a fresh string the caller frees. Raises EKorlenUnknown (code 1)
  // for every failure.
  char* executeCommandToString(const char* command) override;
  // Asks the ORB to stop its event loop; always true.
  CORBA::Boolean shutdown() override;
  char* getCoSolverUnitIor() override;

  // SolverKind. The final save tried once, a failure reported in
  // "instant_aas.error".
  PortableServer::ServantBase* kindServant() override { return this; }
  void finalSave() override;
  std::string collaborativeIorText() override;

 private:
  char* interpret(const char* command) override;  // interpretGrendCommand()

  GrendState state_;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
