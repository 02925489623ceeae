#include "service/solver_object.h"

#include "service/co_solver_unit.h"
#include "service/instant_scripting.h"
#include "service/service_log.h"
#include "solvers/brox/brox_servant.h"

namespace solvarium {

namespace {
const int kSaveTries = 10;
}

std::string SolverObject::unavailableKindMessage(int kind) {
  switch (kind) {
    case 2: return "Error: the Talvo solver kind is not available in this build of Solvarium";
    case 3: return "Error: the Grend solver kind is not available in this build of Solvarium";
    case 4: return "Error: the UDF solver kind is not available in this build of Solvarium";
    default: return "";
  }
}

SolverObject::SolverObject(CORBA::ORB_ptr orb, int kind, const UdfDescription*)
    : orb_(CORBA::ORB::_duplicate(orb)), kind_(kind) {
  const std::string missing = unavailableKindMessage(kind);
  if (!missing.empty()) throw missing;
  if (kind == 1) {
    broxServant_ = new BROX::CBROXSolvarium(orb_.in());
    solverUnit_ = broxServant_->solverUnitServant()->_this();
    scripting_ = broxServant_->scriptingServant()->_this();
  }
}

SolverObject::~SolverObject() {
  // References first: they must not outlive the servants they denote.
  scripting_ = KORLEN_AAS_v1_0_0::Solvers::ICoScripting::_nil();
  solverUnit_ = KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_nil();
  delete broxServant_;
  broxServant_ = nullptr;
}

std::string SolverObject::publishedIor() {
  if (kind_ == 1 && broxServant_ != nullptr) {
    AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var unit = broxServant_->_this();
    CORBA::String_var text = orb_->object_to_string(unit.in());
    return text.in();
  }
  return std::string();
}

std::string SolverObject::solverUnitIor() {
  if (CORBA::is_nil(solverUnit_.in())) return std::string();
  CORBA::String_var text = orb_->object_to_string(solverUnit_.in());
  return text.in();
}

char* SolverObject::saveMonitorsJson() {
  if (kind_ == 1 && broxServant_ != nullptr) {
    for (int attempt = 0; attempt < kSaveTries; ++attempt) {
      try {
        return broxServant_->executeCommandToString(
            "aaS.save_report_plots_with_persisted_data monitor.json");
      } catch (...) {
        // the next try follows at once
      }
    }
    appendText("aas_instant_error.txt",
               "Unknown error:\nCannot create BROX monitor.json after 10 tries\n");
  }
  return CORBA::string_dup("Invalid solver type");
}

}  // namespace solvarium
