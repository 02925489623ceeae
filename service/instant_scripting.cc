#include "service/instant_scripting.h"

#include <cstring>

#include "AAS_CORBA.hh"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace BE = AAS_CORBA::BROXInstant::Exceptions;
namespace RE = AAS_CORBA::GRENDInstant::Exceptions;

namespace {

const char kInternalPrefix[] = "aaS_internal.";
const char kTick[] = "aaS_internal.tic_one_minute";
const char kNotSupportedDot[] = "Method is not supported in current  Instant aaS version.\n";

GE::EScriptGenericError unsupportedCommand(const char* command) {
  return GE::EScriptGenericError(1, command, "Unsupported instant aaS command", "");
}

const char* languageIdForKind(int kind) {
  switch (kind) {
    case kKindBrox: return "brox_instant_aas";
    case kKindTalvo: return "talvo_instant_aas";
    case kKindGrend: return "grend_instant_aas";
    case kKindUdf: return "aas_udf_instant_aas";
    default: return "";
  }
}

template <typename Question>
GE::EYesNoQuestion yesNo(const Question& e) {
  return GE::EYesNoQuestion(e.questionType, e.questionPromptWithDefaultAnswer, e.defaultAnswer,
                            e.questionHelp, e.questionMessage);
}
template <typename Question>
GE::EReadUnquotedString unquoted(const Question& e) {
  return GE::EReadUnquotedString(e.questionType, e.questionPrompt, e.defaultAnswer, e.questionHelp,
                                 e.questionMessage);
}
template <typename Question>
GE::EReadQGenericQuestion generic(const Question& e) {
  return GE::EReadQGenericQuestion(e.questionType, e.questionPromptWithDefaultAnswer,
                                   e.rawDefaultAnswer, e.questionHelp, e.questionMessage);
}
template <typename Question>
GE::EMenuGetQuestion menu(const Question& e) {
  return GE::EMenuGetQuestion(e.questionType, e.questionPrompt, e.questionHelp, e.questionMenu);
}
template <typename Error>
GE::EScriptGenericError scriptError(const Error& e) {
  return GE::EScriptGenericError(e.errorType, e.command, e.errorInfo, e.commandOutput);
}
template <typename Error>
GE::EInvalidArgument invalidArgument(const Error& e) {
  return GE::EInvalidArgument(e.code, e.description, e.scope, e.interfaceName, e.operation,
                              e.moreInfo, e.position);
}
template <typename Error>
GE::EUnknown unknown(const Error& e) {
  return GE::EUnknown(e.code, e.description, e.scope, e.interfaceName, e.operation, e.moreInfo);
}

}  // namespace

CInstantScripting::CInstantScripting(int kind, SolverKindOwner* owner)
    : kind_(kKindNone), owner_(nullptr) {
  if (kind < kKindBrox || kind > kKindUdf || owner == nullptr) return;
  kind_ = kind;
  owner_ = owner;
  scriptingLanguageId_ = languageIdForKind(kind);
}

CInstantScripting::~CInstantScripting() = default;

PortableServer::POA_ptr CInstantScripting::_default_POA() { return servantPoa(); }

char* CInstantScripting::getScriptingLanguageId() {
  const SerialCall serial;
  if (kind_ < kKindBrox || kind_ > kKindUdf) {
    throw GE::ENotSupported(1, "ICoScripting::getScriptingLanguageId", kNotSupportedDot);
  }
  return CORBA::string_dup(scriptingLanguageId_.c_str());
}

char* CInstantScripting::getAcessType() {
  const SerialCall serial;
  if (kind_ == kKindUdf) return CORBA::string_dup(owner_->udfAccessType().c_str());
  if (kind_ >= kKindBrox && kind_ <= kKindGrend) return CORBA::string_dup("instant");
  return CORBA::string_dup("unknown");
}

KORLEN_AAS_v1_0_0::Types::CoStrings* CInstantScripting::getStatus() {
  const SerialCall serial;
  if (kind_ < kKindBrox || kind_ > kKindUdf) {
    throw GE::ENotSupported(1, "ICoScripting::getStatus", kNotSupportedDot);
  }
  if (kind_ == kKindUdf) {
    CORBA::String_var answer = executeToString("aaS.get_status");
    StateFlagMap refreshed;
    const std::string text = answer.in();
    const char* separators = "\n\r\t ";
    std::string::size_type start = text.find_first_not_of(separators);
    while (start != std::string::npos) {
      std::string::size_type end = text.find_first_of(separators, start);
      refreshed[text.substr(start, end == std::string::npos ? std::string::npos : end - start)] =
          true;
      start = end == std::string::npos ? end : text.find_first_not_of(separators, end);
    }
    stateFlags_.swap(refreshed);
  }
  KORLEN_AAS_v1_0_0::Types::CoStrings_var names = new KORLEN_AAS_v1_0_0::Types::CoStrings;
  CORBA::ULong count = 0;
  for (const auto& entry : stateFlags_) {
    if (entry.second) ++count;
  }
  names->length(count);
  CORBA::ULong i = 0;
  for (const auto& entry : stateFlags_) {
    if (entry.second) names[i++] = CORBA::string_dup(entry.first.c_str());
  }
  return names._retn();
}

void CInstantScripting::execute(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(
      1, "ICoScripting::execute",
      "Method is not supported in current  Instant aaS version. Use executeToString instead.\n");
}

char* CInstantScripting::executeToString(const char* command) {
  if (command == nullptr) command = "";
  if (owner_ != nullptr && !isInternalCommand(command)) owner_->beforeCommand();
  const SerialCall serial;
  if (isInternalCommand(command)) return runInternalCommand(command);
  if (kind_ < kKindBrox || kind_ > kKindUdf) throw unsupportedCommand(command);
  return callInterpreter(command);
}

char* CInstantScripting::executeDelayed(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::executeDelayed",
                          "Method is not supported in current Instant aaS version");
}

char* CInstantScripting::retrieveDelayedOutput(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::retrieveDelayedOutput",
                          "Method is not supported in current Instant aaS version");
}

bool CInstantScripting::isInternalCommand(const char* command) {
  return command != nullptr &&
         std::strncmp(command, kInternalPrefix, sizeof(kInternalPrefix) - 1) == 0;
}

char* CInstantScripting::runInternalCommand(const char* command) {
  if (command == nullptr) command = "";
  const bool known = kind_ >= kKindBrox && kind_ <= kKindUdf;
  if (std::strcmp(command, "aaS_internal.get_brox_exception_holder_ior") == 0 ||
      std::strcmp(command, "aaS_internal.get_grend_exception_holder_ior") == 0 ||
      std::strcmp(command, "aaS_internal.get_talvo_exception_holder_ior") == 0) {
    if (!known) throw unsupportedCommand(command);
    return CORBA::string_dup(ownerIor().c_str());
  }
  if (std::strcmp(command, kTick) == 0) {
    if (!known) throw unsupportedCommand(command);
    return callInterpreter(command);
  }
  throw unsupportedCommand(command);
}

const std::string& CInstantScripting::ownerIor() {
  if (ownerIor_.empty() && owner_ != nullptr) {
    if (kind_ == kKindUdf) {
      KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var self = _this();
      CORBA::String_var text = owner_->ownerOrb()->object_to_string(self.in());
      ownerIor_ = text.in();
    } else {
      ownerIor_ = owner_->ownerIorText();
    }
  }
  return ownerIor_;
}

char* CInstantScripting::callInterpreter(const char* command) {
  try {
    char* answer = owner_->interpretCommand(command);
    return answer != nullptr ? answer : CORBA::string_dup("");
  } catch (const BE::EInstantYesNoQuestion& e) {
    throw yesNo(e);
  } catch (const BE::EInstantReadUnquotedString& e) {
    throw unquoted(e);
  } catch (const BE::EInstantReadQGenericQuestion& e) {
    throw generic(e);
  } catch (const BE::EInstantMenuGetQuestion& e) {
    throw menu(e);
  } catch (const BE::EInstantScriptError& e) {
    throw scriptError(e);
  } catch (const BE::EKorlenInvalidArgument& e) {
    throw invalidArgument(e);
  } catch (const BE::EKorlenUnknown& e) {
    throw unknown(e);
  } catch (const RE::EKorlenUnknown& e) {
    throw unknown(e);
  } catch (const RE::EKorlenInvalidArgument& e) {
    throw invalidArgument(e);
  } catch (const AAS_CORBA::EInstantYesNoQuestion& e) {
    throw yesNo(e);
  } catch (const AAS_CORBA::EInstantReadUnquotedString& e) {
    throw unquoted(e);
  } catch (const AAS_CORBA::EInstantReadQGenericQuestion& e) {
    throw generic(e);
  } catch (const AAS_CORBA::EInstantMenuGetQuestion& e) {
    throw menu(e);
  } catch (const AAS_CORBA::EInstantTalvoGenericError& e) {
    throw scriptError(e);
  } catch (const CORBA::Exception&) {
    throw;  // generic exceptions and system exceptions pass unchanged
  } catch (const std::exception& e) {
    // A C++ failure inside an interpreter would reach the client as UNKNOWN.
    throw GE::EScriptGenericError(1, command, e.what(), "");
  }
}

void CInstantScripting::setStateFlag(const std::string& name, bool on) { stateFlags_[name] = on; }

bool CInstantScripting::getStateFlag(const std::string& name) const {
  auto it = stateFlags_.find(name);
  return it != stateFlags_.end() && it->second;
}

bool CInstantScripting::hasStateFlag(const std::string& name) const {
  return stateFlags_.count(name) != 0;
}

void CInstantScripting::clearStateFlags() { stateFlags_.clear(); }

std::string CInstantScripting::stateFlagsText() const {
  std::string text;
  for (const auto& entry : stateFlags_) {
    if (entry.second) text += entry.first + "\n";
  }
  return text;
}

}  // namespace solvarium
