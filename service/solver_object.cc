#include "service/solver_object.h"

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"

namespace solvarium {

std::string SolverObject::unavailableKindMessage(int kind) {
  if (kind < kKindBrox || kind > kKindUdf || isSolverKindRegistered(kind)) return "";
  static const char* const kNames[] = {"", "Brox", "Talvo", "Grend", "UDF"};
  return std::string("Error: the ") + kNames[kind] +
         " solver kind is not available in this build of Solvarium";
}

SolverObject::SolverObject(CORBA::ORB_ptr orb, int kind, const UdfDescription* udf,
                           const Environment& environment)
    : orb_(CORBA::ORB::_duplicate(orb)) {
  const std::string missing = unavailableKindMessage(kind);
  if (!missing.empty()) throw missing;
  kind_ = createSolverKind(kind, orb_.in(), udf, environment);
  if (kind_) {
    SolverKindOwner* owner = kind_->owner();
    if (kind_->kindServant() != nullptr) activateServant(kind_->kindServant());
    activateServant(owner->scriptingServant());
    activateServant(owner->solverUnitServant());
    activateServant(owner->fileSystemServant());
    solverUnit_ = owner->solverUnitServant()->_this();
    scripting_ = owner->scriptingServant()->_this();
  }
}

SolverObject::~SolverObject() {
  // References first: they must not outlive the servants they denote.
  scripting_ = KORLEN_AAS_v1_0_0::Solvers::ICoScripting::_nil();
  solverUnit_ = KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_nil();
  kind_.reset();
}

std::string SolverObject::publishedIor() {
  return kind_ ? kind_->publishedIor() : std::string();
}

std::string SolverObject::solverUnitIor() {
  if (CORBA::is_nil(solverUnit_.in())) return std::string();
  CORBA::String_var text = orb_->object_to_string(solverUnit_.in());
  return text.in();
}

char* SolverObject::saveMonitorsJson() {
  if (kind_) return kind_->saveMonitorsJson();
  return CORBA::string_dup("Invalid solver type");
}

}  // namespace solvarium
