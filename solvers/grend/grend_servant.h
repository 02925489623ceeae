// GREND::CGrendSolvarium: servant of ICoGrendUnit and root object of the
// Grend kind (a solvarium::KindServant: a SolverKind, which owns the three
// generic servants, with the operations Talvo shares). It owns the kind's state (GrendState) and forwards broadcasts
// to the dispatcher and commands to the interpreter, functions over it.
//
// One per process, created by the kind's record with the ORB. Requests reach
// it through the ORB-controlled servant POA, and every operation runs under
// SerialCall, one at a time; the servant takes no lock of its own. Shared
// with the watcher thread: the process-id buffer (solverPidBuffer()) and the
// solver process hold, both thread-safe, and the state, which the watcher's
// tick reaches through run(), under SerialCall too.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_

#include "AAS_CORBA.hh"
#include "service/environment.h"
#include "solvers/grend/grend_state.h"
#include "solvers/kind_servant.h"

namespace GREND {

class CGrendSolvarium
    : public solvarium::KindServant<POA_AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit, GrendState> {
 public:
  // Creates the generic servants and turns "aas-off" on; the monitor folder
  // is GREND_DASH_DIR_FOLDER of `environment` (the one read at start-up).
  // The server activates this servant first, then the generic ones.
  CGrendSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment);

  // ICoGrendUnit. The broadcast dispatcher (grend_broadcast.h).
  void addGenericExceptionMessage(const char* message) override;
  // run(): a fresh string the caller frees. Raises EKorlenUnknown (code 1)
  // for every failure.
  char* executeCommandToString(const char* command) override;

 private:
  char* interpret(const char* command) override;  // interpretGrendCommand()
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_SERVANT_H_
