// The generic twin (KORLEN_AAS_v1_0_0::Exceptions) of a kind module's
// exception, every member copied: SolverKind::run() raises only generic
// exceptions to the generic servants, through the translation of the kind's
// record (SolverKindRecord::twins), made of these. Each rethrows the
// exception being handled, one of the named types as its twin: call only
// inside a catch block.
#ifndef SOLVARIUM_SOLVERS_GENERIC_TWINS_H_
#define SOLVARIUM_SOLVERS_GENERIC_TWINS_H_

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"

namespace solvarium {
namespace twin {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

// A module's questions and script error.
template <class YesNo, class Unquoted, class Generic, class Menu, class Script>
[[noreturn]] void rethrowQuestionTwins() {
  try {
    throw;
  } catch (const YesNo& e) {
    throw GE::EYesNoQuestion(e.questionType, e.questionPromptWithDefaultAnswer, e.defaultAnswer,
                             e.questionHelp, e.questionMessage);
  } catch (const Unquoted& e) {
    throw GE::EReadUnquotedString(e.questionType, e.questionPrompt, e.defaultAnswer,
                                  e.questionHelp, e.questionMessage);
  } catch (const Generic& e) {
    throw GE::EReadQGenericQuestion(e.questionType, e.questionPromptWithDefaultAnswer,
                                    e.rawDefaultAnswer, e.questionHelp, e.questionMessage);
  } catch (const Menu& e) {
    throw GE::EMenuGetQuestion(e.questionType, e.questionPrompt, e.questionHelp, e.questionMenu);
  } catch (const Script& e) {
    throw GE::EScriptGenericError(e.errorType, e.command, e.errorInfo, e.commandOutput);
  }
}

// A module's unknown error and invalid argument.
template <class Unknown, class Invalid>
[[noreturn]] void rethrowErrorTwins() {
  try {
    throw;
  } catch (const Unknown& e) {
    throw GE::EUnknown(e.code, e.description, e.scope, e.interfaceName, e.operation, e.moreInfo);
  } catch (const Invalid& e) {
    throw GE::EInvalidArgument(e.code, e.description, e.scope, e.interfaceName, e.operation,
                               e.moreInfo, e.position);
  }
}

// The BROXInstant module's (raised by the Brox and the UDF interpreters).
[[noreturn]] inline void rethrowBroxInstantTwin() {
  namespace BE = AAS_CORBA::BROXInstant::Exceptions;
  try {
    rethrowErrorTwins<BE::EKorlenUnknown, BE::EKorlenInvalidArgument>();
  } catch (const CORBA::UserException&) {  // a twin made above passes unchanged
    rethrowQuestionTwins<BE::EInstantYesNoQuestion, BE::EInstantReadUnquotedString,
                         BE::EInstantReadQGenericQuestion, BE::EInstantMenuGetQuestion,
                         BE::EInstantScriptError>();
  }
}

}  // namespace twin
}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_GENERIC_TWINS_H_
