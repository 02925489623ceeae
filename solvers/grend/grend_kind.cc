#include "solvers/grend/grend_kind.h"

#include <memory>

#include "common/safe_file.h"
#include "service/solver_kind.h"
#include "solvers/grend/grend_servant.h"

namespace GREND {

namespace {

// Owns the Grend servant; the key is its ICoGrendUnit reference.
class GrendKind : public solvarium::SolverKind {
 public:
  // The monitor folder receives a copy of the key file: what interrupted
  // writes left there goes first.
  GrendKind(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
      : servant_(new CGrendSolvarium(orb, environment)) {
    solvarium::removeStaleTemporaryFiles(servant_->dashFolderPath("."));
  }
  ~GrendKind() override { delete servant_; }

  solvarium::SolverKindOwner* owner() override { return servant_; }
  PortableServer::ServantBase* kindServant() override { return servant_; }

  std::string publishedIor() override { return servant_->getIor(); }

  // Tried once; the exception goes to the caller.
  char* saveMonitorsJson() override {
    return servant_->executeCommandToString("aaS.save_monitors_with_persisted_data monitor.json");
  }

 private:
  CGrendSolvarium* servant_;  // owned
};

}  // namespace

void registerGrendKind() {
  solvarium::registerSolverKind(
      solvarium::kKindGrend, [](CORBA::ORB_ptr orb, const solvarium::UdfDescription*,
                                const solvarium::Environment& environment) {
        return std::unique_ptr<solvarium::SolverKind>(new GrendKind(orb, environment));
      });
}

}  // namespace GREND
