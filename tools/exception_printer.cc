#include "tools/exception_printer.h"

#include <array>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "common/json_text.h"

namespace solvarium {
namespace client {
namespace {

// Builds {"name":value,...} member by member.
class JsonLine {
 public:
  void addString(const char* name, const char* value) {
    addName(name);
    text_ += jsonQuote(value ? value : "");
  }
  void addNumber(const char* name, long value) {
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

// The eight member shapes, each written in declaration order.
template <class E>
void unknownShape(JsonLine& j, const E& e) {
  j.addNumber("code", e.code);
  j.addString("description", e.description);
  j.addString("scope", e.scope);
  j.addString("interfaceName", e.interfaceName);
  j.addString("operation", e.operation);
  j.addString("moreInfo", e.moreInfo);
}

template <class E>
void invalidArgumentShape(JsonLine& j, const E& e) {
  unknownShape(j, e);
  j.addNumber("position", e.position);
}

template <class E>
void yesNoShape(JsonLine& j, const E& e) {
  j.addNumber("questionType", e.questionType);
  j.addString("questionPromptWithDefaultAnswer", e.questionPromptWithDefaultAnswer);
  j.addString("defaultAnswer", e.defaultAnswer);
  j.addString("questionHelp", e.questionHelp);
  j.addString("questionMessage", e.questionMessage);
}

template <class E>
void readUnquotedShape(JsonLine& j, const E& e) {
  j.addNumber("questionType", e.questionType);
  j.addString("questionPrompt", e.questionPrompt);
  j.addString("defaultAnswer", e.defaultAnswer);
  j.addString("questionHelp", e.questionHelp);
  j.addString("questionMessage", e.questionMessage);
}

template <class E>
void readQGenericShape(JsonLine& j, const E& e) {
  j.addNumber("questionType", e.questionType);
  j.addString("questionPromptWithDefaultAnswer", e.questionPromptWithDefaultAnswer);
  j.addString("rawDefaultAnswer", e.rawDefaultAnswer);
  j.addString("questionHelp", e.questionHelp);
  j.addString("questionMessage", e.questionMessage);
}

template <class E>
void menuShape(JsonLine& j, const E& e) {
  j.addNumber("questionType", e.questionType);
  j.addString("questionPrompt", e.questionPrompt);
  j.addString("questionHelp", e.questionHelp);
  j.addString("questionMenu", e.questionMenu);
}

template <class E>
void scriptErrorShape(JsonLine& j, const E& e) {
  j.addNumber("errorType", e.errorType);
  j.addString("command", e.command);
  j.addString("errorInfo", e.errorInfo);
  j.addString("commandOutput", e.commandOutput);
}

template <class E>
void notSupportedShape(JsonLine& j, const E& e) {
  j.addNumber("errorType", e.errorType);
  j.addString("command", e.command);
  j.addString("errorInfo", e.errorInfo);
}

using Formatter = bool (*)(const CORBA::Exception&, JsonLine&);

// One rung of the ladder: formats `ex` when it is an E.
template <class E, void (*Shape)(JsonLine&, const E&)>
bool formatAs(const CORBA::Exception& ex, JsonLine& j) {
  const E* e = E::_downcast(&ex);
  if (e == nullptr) return false;
  j.addString("exception", E::_PD_repoId);
  Shape(j, *e);
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
    formatAs<GX::EUnknown, unknownShape<GX::EUnknown>>,
    formatAs<GX::EInvalidArgument, invalidArgumentShape<GX::EInvalidArgument>>,
    formatAs<GX::EYesNoQuestion, yesNoShape<GX::EYesNoQuestion>>,
    formatAs<GX::EReadUnquotedString, readUnquotedShape<GX::EReadUnquotedString>>,
    formatAs<GX::EReadQGenericQuestion, readQGenericShape<GX::EReadQGenericQuestion>>,
    formatAs<GX::EMenuGetQuestion, menuShape<GX::EMenuGetQuestion>>,
    formatAs<GX::EScriptGenericError, scriptErrorShape<GX::EScriptGenericError>>,
    formatAs<GX::ENotSupported, notSupportedShape<GX::ENotSupported>>,
    // KORLEN_AAS_v1_0_0::Instant::Exceptions
    formatAs<IX::EKorlenUnknown, unknownShape<IX::EKorlenUnknown>>,
    formatAs<IX::EKorlenInvalidArgument, invalidArgumentShape<IX::EKorlenInvalidArgument>>,
    formatAs<IX::EInstantReadUnquotedString, readUnquotedShape<IX::EInstantReadUnquotedString>>,
    formatAs<IX::EInstantScriptError, scriptErrorShape<IX::EInstantScriptError>>,
    formatAs<IX::EInstantReadQGenericQuestion, readQGenericShape<IX::EInstantReadQGenericQuestion>>,
    formatAs<IX::EInstantYesNoQuestion, yesNoShape<IX::EInstantYesNoQuestion>>,
    formatAs<IX::EInstantMenuGetQuestion, menuShape<IX::EInstantMenuGetQuestion>>,
    // AAS_CORBA (Talvo)
    formatAs<TX::EInstantYesNoQuestion, yesNoShape<TX::EInstantYesNoQuestion>>,
    formatAs<TX::EInstantReadUnquotedString, readUnquotedShape<TX::EInstantReadUnquotedString>>,
    formatAs<TX::EInstantReadQGenericQuestion, readQGenericShape<TX::EInstantReadQGenericQuestion>>,
    formatAs<TX::EInstantMenuGetQuestion, menuShape<TX::EInstantMenuGetQuestion>>,
    formatAs<TX::EInstantTalvoGenericError, scriptErrorShape<TX::EInstantTalvoGenericError>>,
    // AAS_CORBA::GRENDInstant::Exceptions
    formatAs<RX::EKorlenUnknown, unknownShape<RX::EKorlenUnknown>>,
    formatAs<RX::EKorlenInvalidArgument, invalidArgumentShape<RX::EKorlenInvalidArgument>>,
    // AAS_CORBA::BROXInstant::Exceptions
    formatAs<BX::EKorlenUnknown, unknownShape<BX::EKorlenUnknown>>,
    formatAs<BX::EKorlenInvalidArgument, invalidArgumentShape<BX::EKorlenInvalidArgument>>,
    formatAs<BX::EInstantReadUnquotedString, readUnquotedShape<BX::EInstantReadUnquotedString>>,
    formatAs<BX::EInstantScriptError, scriptErrorShape<BX::EInstantScriptError>>,
    formatAs<BX::EInstantReadQGenericQuestion, readQGenericShape<BX::EInstantReadQGenericQuestion>>,
    formatAs<BX::EInstantYesNoQuestion, yesNoShape<BX::EInstantYesNoQuestion>>,
    formatAs<BX::EInstantMenuGetQuestion, menuShape<BX::EInstantMenuGetQuestion>>,
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
    j.addString("exception", (std::string("CORBA::") + sys->_name()).c_str());
    j.addNumber("minor", static_cast<long>(sys->minor()));
    j.addString("minorName", sys->NP_minorString());
    j.addString("completed", completionName(sys->completed()));
    return j.finish();
  }
  for (Formatter format : kLadder) {
    if (format(ex, j)) return j.finish();
  }
  j.addString("exception", ex._rep_id());
  return j.finish();
}

int exitCodeFor(const CORBA::Exception& ex) {
  return CORBA::UserException::_downcast(&ex) != nullptr ? kExitUserException : kExitFailure;
}

}  // namespace client
}  // namespace solvarium
