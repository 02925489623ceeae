#include "solvers/udf/udf_kind.h"

#include <memory>

#include "service/co_solver_unit.h"
#include "service/solver_kind.h"
#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_unit.h"

namespace AAS_UDF {

namespace {

// Owns the UDF unit; the key is its generic solver unit's reference.
class UdfKind : public solvarium::SolverKind {
 public:
  UdfKind(CORBA::ORB_ptr orb, const CAasUdfXmlHandler& description)
      : orb_(CORBA::ORB::_duplicate(orb)), unit_(new UdfSolverUnit(orb, description)) {}
  ~UdfKind() override { delete unit_; }

  solvarium::SolverKindOwner* owner() override { return unit_; }
  PortableServer::ServantBase* kindServant() override { return nullptr; }

  std::string publishedIor() override {
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = unit_->solverUnit->_this();
    CORBA::String_var text = orb_->object_to_string(unit.in());
    return text.in();
  }

  // Tried once; what it throws goes to the caller.
  char* saveMonitorsJson() override {
    return unit_->executeCommandToString("aaS.save_report_plots_with_persisted_data monitor.json");
  }

 private:
  CORBA::ORB_var orb_;
  UdfSolverUnit* unit_;  // owned
};

}  // namespace

void registerUdfKind() {
  solvarium::registerUdfDescriptionReader(&loadUdfDescription);
  solvarium::registerSolverKind(
      solvarium::kKindUdf, [](CORBA::ORB_ptr orb, const solvarium::UdfDescription* udf,
                              const solvarium::Environment&) {
        const auto* description = dynamic_cast<const CAasUdfXmlHandler*>(udf);
        if (description == nullptr) throw std::string("Error: the UDF solver description is missing");
        return std::unique_ptr<solvarium::SolverKind>(new UdfKind(orb, *description));
      });
}

}  // namespace AAS_UDF
