#include "solvers/brox/brox_kind.h"

#include <memory>

#include "service/service_log.h"
#include "service/solver_kind.h"
#include "solvers/brox/brox_servant.h"

namespace BROX {

namespace {

const int kSaveTries = 10;

// Owns the Brox servant; the key is its ICoBROXUnit reference.
class BroxKind : public solvarium::SolverKind {
 public:
  BroxKind(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
      : orb_(CORBA::ORB::_duplicate(orb)), servant_(new CBROXSolvarium(orb, environment)) {}
  ~BroxKind() override { delete servant_; }

  solvarium::SolverKindOwner* owner() override { return servant_; }
  PortableServer::ServantBase* kindServant() override { return servant_; }

  std::string publishedIor() override {
    AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var unit = servant_->_this();
    CORBA::String_var text = orb_->object_to_string(unit.in());
    return text.in();
  }

  // Up to ten tries, one right after the other; never throws.
  char* saveMonitorsJson() override {
    for (int attempt = 0; attempt < kSaveTries; ++attempt) {
      try {
        return servant_->runCommand(
            "aaS.save_report_plots_with_persisted_data monitor.json");
      } catch (...) {
        // the next try follows at once
      }
    }
    solvarium::appendText("aas_instant_error.txt",
                          "Unknown error:\nCannot create BROX monitor.json after 10 tries\n");
    return CORBA::string_dup("Invalid solver type");
  }

 private:
  CORBA::ORB_var orb_;
  CBROXSolvarium* servant_;  // owned
};

}  // namespace

void registerBroxKind() {
  solvarium::registerSolverKind(
      solvarium::kKindBrox, [](CORBA::ORB_ptr orb, const solvarium::UdfDescription*,
                               const solvarium::Environment& environment) {
        return std::unique_ptr<solvarium::SolverKind>(new BroxKind(orb, environment));
      });
}

}  // namespace BROX
