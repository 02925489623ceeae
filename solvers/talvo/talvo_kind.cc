#include "solvers/talvo/talvo_kind.h"

#include <memory>

#include "service/solver_kind.h"
#include "solvers/talvo/talvo_servant.h"

namespace TALVO {

namespace {

// Owns the Talvo servant; the key is its ITalvoExceptionHolder reference.
class TalvoKind : public solvarium::SolverKind {
 public:
  explicit TalvoKind(CORBA::ORB_ptr orb) : servant_(new CTalvoSolvarium(orb)) {}
  ~TalvoKind() override { delete servant_; }
  TalvoKind(const TalvoKind&) = delete;
  TalvoKind& operator=(const TalvoKind&) = delete;

  solvarium::SolverKindOwner* owner() override { return servant_; }
  PortableServer::ServantBase* kindServant() override { return servant_; }
  std::string publishedIor() override { return servant_->getIor(); }

  // Tried once; what it throws goes to the caller.
  char* saveMonitorsJson() override {
    return servant_->doInstantCommandToString(
        "aaS.save_monitors_with_persisted_data monitor.json");
  }

 private:
  CTalvoSolvarium* servant_;  // owned
};

}  // namespace

void registerTalvoKind() {
  solvarium::registerSolverKind(
      solvarium::kKindTalvo, [](CORBA::ORB_ptr orb, const solvarium::UdfDescription*,
                                const solvarium::Environment&) {
        return std::unique_ptr<solvarium::SolverKind>(new TalvoKind(orb));
      });
}

}  // namespace TALVO
