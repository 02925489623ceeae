// CInstantScripting: servant of KORLEN_AAS_v1_0_0::Solvers::ICoScripting, the
// generic entry for "aaS." command texts. It answers the "aaS_internal."
// commands other than the minute tick itself and passes every other command
// to its owner's runCommand(); getStatus answers the owner's state flags.
//
// Ownership: created by its owner (the kind's root object, see SolverKind)
// and deleted by it; never frees the owner. Threads: requests reach it through
// the ORB-controlled servant POA and every operation runs under SerialCall,
// one at a time (a command through the owner's run(), which takes it).
#ifndef SOLVARIUM_SERVICE_INSTANT_SCRIPTING_H_
#define SOLVARIUM_SERVICE_INSTANT_SCRIPTING_H_

#include <string>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/command_table.h"
#include "service/solver_kind_owner.h"

namespace solvarium {

class CInstantScripting : public OwnedServant<POA_KORLEN_AAS_v1_0_0::Solvers::ICoScripting> {
 public:
  using OwnedServant::OwnedServant;
  CInstantScripting(const CInstantScripting&) = delete;
  CInstantScripting& operator=(const CInstantScripting&) = delete;

  // ICoScripting.
  char* getScriptingLanguageId() override;
  char* getAcessType() override;
  KORLEN_AAS_v1_0_0::Types::CoStrings* getStatus() override;
  void execute(const char* command) override;
  char* executeToString(const char* command) override;
  char* executeDelayed(const char* command) override;
  char* retrieveDelayedOutput(const char* ticket) override;

 private:
  std::string ownerIor_;  // "" until first asked for
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_INSTANT_SCRIPTING_H_
