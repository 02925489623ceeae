// The generic twin (KORLEN_AAS_v1_0_0::Exceptions) of a kind module's
// exception, every member copied: SolverKind::run() raises only generic
// exceptions to the generic servants, through the translation of the kind's
// record (SolverKindRecord::twins), made of these.
#ifndef SOLVARIUM_SOLVERS_GENERIC_TWINS_H_
#define SOLVARIUM_SOLVERS_GENERIC_TWINS_H_

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"

namespace solvarium {
namespace twin {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

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

// The BROXInstant module's translation (raised by the Brox and the UDF
// interpreters): rethrows the exception being handled, one of the module's
// as its twin. Call only inside a catch block.
[[noreturn]] inline void rethrowBroxInstantTwin() {
  namespace BE = AAS_CORBA::BROXInstant::Exceptions;
  try {
    throw;
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
  }
}

}  // namespace twin
}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_GENERIC_TWINS_H_
