#include "service/co_solver_unit.h"

#include <omniORB4/omniInterceptors.h>

#include <mutex>
#include <string>

#include "service/co_file_system.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GS = KORLEN_AAS_v1_0_0::Solvers;

namespace {

GE::EUnknown collaborativeError(const char* description, const std::string& scope) {
  return GE::EUnknown(1, description, scope.c_str(), "ICoSolverUnit", "getCollaborativeSolverUnit",
                      "");
}

// One collaborative call, forwards included, ends within the ORB's call
// time-out, and gives up with CORBA::TIMEOUT after this many requests: a
// partner that answers each one with a LOCATION_FORWARD to itself would be
// called without end.
const unsigned long kPartnerCallSeconds = 10;
const int kMaxPartnerRequests = 10;
thread_local int partnerRequestsLeft = -1;  // -1: this thread makes no such call

CORBA::Boolean countPartnerRequest(omni::omniInterceptors::clientSendRequest_T::info_T&) {
  if (partnerRequestsLeft >= 0 && partnerRequestsLeft-- == 0) {
    throw CORBA::TIMEOUT(0, CORBA::COMPLETED_NO);
  }
  return true;
}

class PartnerCallBounds {
 public:
  PartnerCallBounds() {
    static std::once_flag added;
    std::call_once(added, [] {
      omniORB::getInterceptors()->clientSendRequest.add(countPartnerRequest);
    });
    partnerRequestsLeft = kMaxPartnerRequests;
    unsigned long seconds = 0;
    unsigned long nanoseconds = 0;
    omni_thread::get_time(&seconds, &nanoseconds, kPartnerCallSeconds, 0);
    omniORB::setClientThreadCallDeadline(seconds, nanoseconds);
  }
  ~PartnerCallBounds() {
    partnerRequestsLeft = -1;
    omniORB::setClientThreadCallDeadline(0, 0);
  }
  PartnerCallBounds(const PartnerCallBounds&) = delete;
  PartnerCallBounds& operator=(const PartnerCallBounds&) = delete;
};

}  // namespace

char* CCoSolverUnit::getSolverId() { return serialCopy(texts_.solverId); }

char* CCoSolverUnit::getAcessType() { return serialCopy(texts_.accessType); }

GS::ICoSolverUnit_ptr CCoSolverUnit::getCollaborativeSolverUnit() {
  const std::string& scope = texts_.collaborativeScope;
  std::string ior;
  CORBA::ORB_var orb;
  {
    const SerialCall serial;
    if (!texts_.unitNotSupported.empty()) {
      throw GE::ENotSupported(1, "ICoSolverUnit::getCollaborativeCoSolverUnit",
                              texts_.unitNotSupported.c_str());
    }
    if (!texts_.collaborativeFromSolver) {
      throw collaborativeError("Collaborative aaS not available", scope);
    }
    ior = owner_->collaborativeIorText();
    if (ior.empty()) throw collaborativeError("Collaborative IOR not available", scope);
    orb = CORBA::ORB::_duplicate(owner_->ownerOrb());
  }
  // Outside SerialCall: resolving the text (a name service's resolve) and
  // _narrow (the partner's _is_a) may be remote calls, bounded together; a
  // partner that never answers holds up this request only.
  const PartnerCallBounds bounds;
  CORBA::Object_var object = orb->string_to_object(ior.c_str());
  if (CORBA::is_nil(object.in())) throw collaborativeError("Collaborative IOR is corrupt", scope);
  GS::ICoSolverUnit_var unit = GS::ICoSolverUnit::_narrow(object.in());
  if (CORBA::is_nil(unit.in())) {
    throw collaborativeError("Collaborative IOR is of wrong type", scope);
  }
  return unit._retn();
}

GS::ICoSolverUnit_ptr CCoSolverUnit::getInstantSolverUnit() {
  const SerialCall serial;
  if (!texts_.unitNotSupported.empty()) {
    throw GE::ENotSupported(1, "ICoSolverUnit::getInstantCoSolverUnit",
                            texts_.unitNotSupported.c_str());
  }
  return _this();
}

GS::ICoScripting_ptr CCoSolverUnit::getCommandScripting() {
  const SerialCall serial;
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
  return owner_->fileSystemServant()->_this();
}

}  // namespace solvarium
