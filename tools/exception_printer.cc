#include "tools/exception_printer.h"

#include <array>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "common/json_text.h"
#include "idl/exception_members.h"

namespace solvarium {
namespace client {
namespace {

// Builds {"name":value,...} member by member.
class JsonLine {
 public:
  void add(const char* name, const char* value) {
    addName(name);
    text_ += jsonQuote(value ? value : "");
  }
  void add(const char* name, long value) {
    addName(name);
    text_ += std::to_string(value);
  }
  std::string finish() const { return "{" + text_ + "}"; }

 private:
  void addName(const char* name) {
    if (!text_.empty()) text_ += ",";
    text_ += jsonQuote(name);
    text_ += ":";
  }
  std::string text_;
};

using Formatter = bool (*)(const CORBA::Exception&, JsonLine&);

// One rung of the ladder: formats `ex` when it is an E.
template <class E>
bool formatAs(const CORBA::Exception& ex, JsonLine& j) {
  const E* e = E::_downcast(&ex);
  if (e == nullptr) return false;
  j.add("exception", E::_PD_repoId);
  exception_members::visitMembers(*e, [&j](const char* name, auto value) { j.add(name, value); });
  return true;
}

namespace GX = ::KORLEN_AAS_v1_0_0::Exceptions;
namespace IX = ::KORLEN_AAS_v1_0_0::Instant::Exceptions;
namespace TX = ::AAS_CORBA;
namespace RX = ::AAS_CORBA::GRENDInstant::Exceptions;
namespace BX = ::AAS_CORBA::BROXInstant::Exceptions;

// Every user exception of the contract.
const std::array<Formatter, 29> kLadder = {
    // KORLEN_AAS_v1_0_0::Exceptions
    formatAs<GX::EUnknown>,
    formatAs<GX::EInvalidArgument>,
    formatAs<GX::EYesNoQuestion>,
    formatAs<GX::EReadUnquotedString>,
    formatAs<GX::EReadQGenericQuestion>,
    formatAs<GX::EMenuGetQuestion>,
    formatAs<GX::EScriptGenericError>,
    formatAs<GX::ENotSupported>,
    // KORLEN_AAS_v1_0_0::Instant::Exceptions
    formatAs<IX::EKorlenUnknown>,
    formatAs<IX::EKorlenInvalidArgument>,
    formatAs<IX::EInstantReadUnquotedString>,
    formatAs<IX::EInstantScriptError>,
    formatAs<IX::EInstantReadQGenericQuestion>,
    formatAs<IX::EInstantYesNoQuestion>,
    formatAs<IX::EInstantMenuGetQuestion>,
    // AAS_CORBA (Talvo)
    formatAs<TX::EInstantYesNoQuestion>,
    formatAs<TX::EInstantReadUnquotedString>,
    formatAs<TX::EInstantReadQGenericQuestion>,
    formatAs<TX::EInstantMenuGetQuestion>,
    formatAs<TX::EInstantTalvoGenericError>,
    // AAS_CORBA::GRENDInstant::Exceptions
    formatAs<RX::EKorlenUnknown>,
    formatAs<RX::EKorlenInvalidArgument>,
    // AAS_CORBA::BROXInstant::Exceptions
    formatAs<BX::EKorlenUnknown>,
    formatAs<BX::EKorlenInvalidArgument>,
    formatAs<BX::EInstantReadUnquotedString>,
    formatAs<BX::EInstantScriptError>,
    formatAs<BX::EInstantReadQGenericQuestion>,
    formatAs<BX::EInstantYesNoQuestion>,
    formatAs<BX::EInstantMenuGetQuestion>,
};

const char* completionName(CORBA::CompletionStatus status) {
  switch (status) {
    case CORBA::COMPLETED_YES: return "COMPLETED_YES";
    case CORBA::COMPLETED_NO: return "COMPLETED_NO";
    default: return "COMPLETED_MAYBE";
  }
}

}  // namespace

std::string exceptionJson(const CORBA::Exception& ex) {
  JsonLine j;
  if (const CORBA::SystemException* sys = CORBA::SystemException::_downcast(&ex)) {
    j.add("exception", (std::string("CORBA::") + sys->_name()).c_str());
    j.add("minor", static_cast<long>(sys->minor()));
    j.add("minorName", sys->NP_minorString());
    j.add("completed", completionName(sys->completed()));
    return j.finish();
  }
  for (Formatter format : kLadder) {
    if (format(ex, j)) return j.finish();
  }
  j.add("exception", ex._rep_id());
  return j.finish();
}

int exitCodeFor(const CORBA::Exception& ex) {
  return CORBA::UserException::_downcast(&ex) != nullptr ? kExitUserException : kExitFailure;
}

}  // namespace client
}  // namespace solvarium
