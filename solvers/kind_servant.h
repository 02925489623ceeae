// solvarium::KindServant: what the root servants of the Talvo and Grend
// kinds share besides their IDL skeleton `Skeleton`:
// shutdown, the co-solver unit's IOR, the kind's state (`State`, which holds
// the collaborative unit's IOR text) and the final save of "monitor.json",
// tried once, a failure reported in "instant_aas.error".
#ifndef SOLVARIUM_SOLVERS_KIND_SERVANT_H_
#define SOLVARIUM_SOLVERS_KIND_SERVANT_H_

#include <string>

#include "service/servant_poa.h"
#include "service/solver_kind.h"
#include "service/watcher_buffers.h"
#include "solvers/instant_kind.h"

namespace solvarium {

template <typename Skeleton, typename State>
class KindServant : public Servant<Skeleton>, public SolverKind {
 public:
  // Requests the service's shutdown, without waiting for a request that
  // runs; always true.
  CORBA::Boolean shutdown() override {
    requestServiceShutdown();
    return true;
  }
  char* getCoSolverUnitIor() override {
    const SerialCall serial;
    return CORBA::string_dup(solverUnitIor().c_str());
  }

  // SolverKind.
  PortableServer::ServantBase* kindServant() override { return this; }
  bool finalSave() override {
    return saveWithReport(this, "aaS.save_monitors_with_persisted_data monitor.json");
  }
  std::string collaborativeIorText() override { return state_.collaborativeSolverUnitIor; }

 protected:
  using SolverKind::SolverKind;
  State state_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_KIND_SERVANT_H_
