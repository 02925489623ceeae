// Walks the members of the contract's user exceptions in IDL declaration
// order: exception_members::visitMembers(e, visit) calls visit(name, value)
// once per member, value a `long` for numbers and a `const char*` for strings.
#ifndef SOLVARIUM_IDL_EXCEPTION_MEMBERS_H_
#define SOLVARIUM_IDL_EXCEPTION_MEMBERS_H_

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"

namespace solvarium {
namespace exception_members {

// The member shapes shared by the generic exceptions and their kind twins.
template <class E, class V>
void visitError(const E& e, V&& visit) {
  visit("code", static_cast<long>(e.code));
  visit("description", e.description.in());
  visit("scope", e.scope.in());
  visit("interfaceName", e.interfaceName.in());
  visit("operation", e.operation.in());
  visit("moreInfo", e.moreInfo.in());
}

template <class E, class V>
void visitInvalidArgument(const E& e, V&& visit) {
  visitError(e, visit);
  visit("position", static_cast<long>(e.position));
}

template <class E, class V>
void visitYesNo(const E& e, V&& visit) {
  visit("questionType", static_cast<long>(e.questionType));
  visit("questionPromptWithDefaultAnswer", e.questionPromptWithDefaultAnswer.in());
  visit("defaultAnswer", e.defaultAnswer.in());
  visit("questionHelp", e.questionHelp.in());
  visit("questionMessage", e.questionMessage.in());
}

template <class E, class V>
void visitUnquoted(const E& e, V&& visit) {
  visit("questionType", static_cast<long>(e.questionType));
  visit("questionPrompt", e.questionPrompt.in());
  visit("defaultAnswer", e.defaultAnswer.in());
  visit("questionHelp", e.questionHelp.in());
  visit("questionMessage", e.questionMessage.in());
}

template <class E, class V>
void visitGenericQuestion(const E& e, V&& visit) {
  visit("questionType", static_cast<long>(e.questionType));
  visit("questionPromptWithDefaultAnswer", e.questionPromptWithDefaultAnswer.in());
  visit("rawDefaultAnswer", e.rawDefaultAnswer.in());
  visit("questionHelp", e.questionHelp.in());
  visit("questionMessage", e.questionMessage.in());
}

template <class E, class V>
void visitMenu(const E& e, V&& visit) {
  visit("questionType", static_cast<long>(e.questionType));
  visit("questionPrompt", e.questionPrompt.in());
  visit("questionHelp", e.questionHelp.in());
  visit("questionMenu", e.questionMenu.in());
}

template <class E, class V>
void visitNotSupported(const E& e, V&& visit) {
  visit("errorType", static_cast<long>(e.errorType));
  visit("command", e.command.in());
  visit("errorInfo", e.errorInfo.in());
}

template <class E, class V>
void visitScriptError(const E& e, V&& visit) {
  visitNotSupported(e, visit);
  visit("commandOutput", e.commandOutput.in());
}

// Every user exception of the contract, by its shape.
namespace GX = ::KORLEN_AAS_v1_0_0::Exceptions;
namespace IX = ::KORLEN_AAS_v1_0_0::Instant::Exceptions;
namespace TX = ::AAS_CORBA;
namespace RX = ::AAS_CORBA::GRENDInstant::Exceptions;
namespace BX = ::AAS_CORBA::BROXInstant::Exceptions;

template <class V> void visitMembers(const GX::EUnknown& e, V&& v) { visitError(e, v); }
template <class V> void visitMembers(const GX::EInvalidArgument& e, V&& v) { visitInvalidArgument(e, v); }
template <class V> void visitMembers(const GX::EYesNoQuestion& e, V&& v) { visitYesNo(e, v); }
template <class V> void visitMembers(const GX::EReadUnquotedString& e, V&& v) { visitUnquoted(e, v); }
template <class V> void visitMembers(const GX::EReadQGenericQuestion& e, V&& v) { visitGenericQuestion(e, v); }
template <class V> void visitMembers(const GX::EMenuGetQuestion& e, V&& v) { visitMenu(e, v); }
template <class V> void visitMembers(const GX::EScriptGenericError& e, V&& v) { visitScriptError(e, v); }
template <class V> void visitMembers(const GX::ENotSupported& e, V&& v) { visitNotSupported(e, v); }

template <class V> void visitMembers(const IX::EKorlenUnknown& e, V&& v) { visitError(e, v); }
template <class V> void visitMembers(const IX::EKorlenInvalidArgument& e, V&& v) { visitInvalidArgument(e, v); }
template <class V> void visitMembers(const IX::EInstantReadUnquotedString& e, V&& v) { visitUnquoted(e, v); }
template <class V> void visitMembers(const IX::EInstantScriptError& e, V&& v) { visitScriptError(e, v); }
template <class V> void visitMembers(const IX::EInstantReadQGenericQuestion& e, V&& v) { visitGenericQuestion(e, v); }
template <class V> void visitMembers(const IX::EInstantYesNoQuestion& e, V&& v) { visitYesNo(e, v); }
template <class V> void visitMembers(const IX::EInstantMenuGetQuestion& e, V&& v) { visitMenu(e, v); }

template <class V> void visitMembers(const TX::EInstantYesNoQuestion& e, V&& v) { visitYesNo(e, v); }
template <class V> void visitMembers(const TX::EInstantReadUnquotedString& e, V&& v) { visitUnquoted(e, v); }
template <class V> void visitMembers(const TX::EInstantReadQGenericQuestion& e, V&& v) { visitGenericQuestion(e, v); }
template <class V> void visitMembers(const TX::EInstantMenuGetQuestion& e, V&& v) { visitMenu(e, v); }
template <class V> void visitMembers(const TX::EInstantTalvoGenericError& e, V&& v) { visitScriptError(e, v); }

template <class V> void visitMembers(const RX::EKorlenUnknown& e, V&& v) { visitError(e, v); }
template <class V> void visitMembers(const RX::EKorlenInvalidArgument& e, V&& v) { visitInvalidArgument(e, v); }

template <class V> void visitMembers(const BX::EKorlenUnknown& e, V&& v) { visitError(e, v); }
template <class V> void visitMembers(const BX::EKorlenInvalidArgument& e, V&& v) { visitInvalidArgument(e, v); }
template <class V> void visitMembers(const BX::EInstantReadUnquotedString& e, V&& v) { visitUnquoted(e, v); }
template <class V> void visitMembers(const BX::EInstantScriptError& e, V&& v) { visitScriptError(e, v); }
template <class V> void visitMembers(const BX::EInstantReadQGenericQuestion& e, V&& v) { visitGenericQuestion(e, v); }
template <class V> void visitMembers(const BX::EInstantYesNoQuestion& e, V&& v) { visitYesNo(e, v); }
template <class V> void visitMembers(const BX::EInstantMenuGetQuestion& e, V&& v) { visitMenu(e, v); }

}  // namespace exception_members
}  // namespace solvarium

#endif  // SOLVARIUM_IDL_EXCEPTION_MEMBERS_H_
