#include "service/co_solver_unit.h"

#include <string>

#include "service/co_file_system.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GS = KORLEN_AAS_v1_0_0::Solvers;

namespace {

const char kUdfNotSupported[] = "Method is not supported in current aaS UDF version.";

GE::EUnknown collaborativeError(const char* description, const char* scope) {
  return GE::EUnknown(1, description, scope, "ICoSolverUnit", "getCollaborativeSolverUnit", "");
}

}  // namespace

CCoSolverUnit::CCoSolverUnit(int kind, SolverKindOwner* owner) : kind_(kKindNone), owner_(nullptr) {
  if (kind < kKindBrox || kind > kKindUdf || owner == nullptr) return;
  kind_ = kind;
  owner_ = owner;
  orb_ = CORBA::ORB::_duplicate(owner->ownerOrb());
}

CCoSolverUnit::~CCoSolverUnit() = default;

PortableServer::POA_ptr CCoSolverUnit::_default_POA() { return servantPoa(); }

char* CCoSolverUnit::getSolverId() {
  const SerialCall serial;
  switch (kind_) {
    case kKindBrox: return CORBA::string_dup("korlen-brox");
    case kKindTalvo: return CORBA::string_dup("korlen-talvo");
    case kKindGrend: return CORBA::string_dup("korlen-grend");
    case kKindUdf: return CORBA::string_dup(owner_->udfSolverName().c_str());
    default: return CORBA::string_dup("unknown");
  }
}

char* CCoSolverUnit::getAcessType() {
  const SerialCall serial;
  if (kind_ == kKindUdf) return CORBA::string_dup(owner_->udfAccessType().c_str());
  if (kind_ >= kKindBrox && kind_ <= kKindGrend) return CORBA::string_dup("instant");
  return CORBA::string_dup("unknown");
}

GS::ICoSolverUnit_ptr CCoSolverUnit::getCollaborativeSolverUnit() {
  const SerialCall serial;
  if (kind_ == kKindBrox) throw collaborativeError("Collaborative aaS not available", " Instant aaS");
  if (kind_ == kKindUdf) {
    throw GE::ENotSupported(1, "ICoSolverUnit::getCollaborativeCoSolverUnit", kUdfNotSupported);
  }
  if (kind_ != kKindTalvo && kind_ != kKindGrend) return GS::ICoSolverUnit::_nil();

  const char* scope = kind_ == kKindTalvo ? "Talvo Instant aaS" : "Grend Instant aaS";
  const std::string ior = owner_->collaborativeIorText();
  if (ior.empty()) throw collaborativeError("Collaborative IOR not available", scope);
  CORBA::Object_var object = orb_->string_to_object(ior.c_str());
  if (CORBA::is_nil(object.in())) throw collaborativeError("Collaborative IOR is corrupt", scope);
  GS::ICoSolverUnit_var unit = GS::ICoSolverUnit::_narrow(object.in());
  if (CORBA::is_nil(unit.in())) throw collaborativeError("Collaborative IOR is of wrong type", scope);
  return unit._retn();
}

GS::ICoSolverUnit_ptr CCoSolverUnit::getInstantSolverUnit() {
  const SerialCall serial;
  if (kind_ == kKindUdf) {
    throw GE::ENotSupported(1, "ICoSolverUnit::getInstantCoSolverUnit", kUdfNotSupported);
  }
  return _this();
}

GS::ICoScripting_ptr CCoSolverUnit::getCommandScripting() {
  const SerialCall serial;
  if (kind_ < kKindBrox || kind_ > kKindUdf || owner_->scriptingServant() == nullptr) {
    return GS::ICoScripting::_nil();
  }
  return owner_->scriptingServant()->_this();
}

GS::ICoScripting_ptr CCoSolverUnit::getReportScripting() {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoSolverUnit::getReportScripting",
                          "Method is not supported in current  Instant aaS version.");
}

GS::ICoAdvancedParameters_ptr CCoSolverUnit::getAdvancedParameters() {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoSolverUnit::getAdvancedParameters",
                          "Method is not supported in current Instant aaS version.");
}

GS::ICoPublicParameters_ptr CCoSolverUnit::getPublicParameters(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoSolverUnit::getPublicParameters",
                          "Method is not supported in current Instant aaS version.");
}

GS::ICoCollaborativeControls_ptr CCoSolverUnit::getCollaborativeControls() {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoSolverUnit::getCollaborativeControls",
                          "Method is not supported in Instant aaS version.");
}

GS::ICoFileSystem_ptr CCoSolverUnit::getFileSystem() {
  const SerialCall serial;
  if (kind_ < kKindBrox || kind_ > kKindUdf || owner_->fileSystemServant() == nullptr) {
    return GS::ICoFileSystem::_nil();
  }
  return owner_->fileSystemServant()->_this();
}

}  // namespace solvarium
