// The generic twin (KORLEN_AAS_v1_0_0::Exceptions) of a kind module's
// exception, every member copied. A kind's interpretCommand raises only
// generic exceptions (see SolverKindOwner): it catches its own module's and
// throws their twins, with these helpers.
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

// Answers `interpret()`; the BROXInstant module's exceptions (raised by the
// Brox and the UDF interpreters) leave as their twins.
template <typename Interpret>
char* fromBroxInstant(Interpret&& interpret) {
  namespace BE = AAS_CORBA::BROXInstant::Exceptions;
  try {
    return interpret();
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

// Answers `interpret()`; the Talvo exceptions (AAS_CORBA's own) leave as
// their twins.
template <typename Interpret>
char* fromTalvo(Interpret&& interpret) {
  try {
    return interpret();
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
  }
}

// Answers `interpret()`; the GRENDInstant module's exceptions leave as their
// twins.
template <typename Interpret>
char* fromGrendInstant(Interpret&& interpret) {
  namespace RE = AAS_CORBA::GRENDInstant::Exceptions;
  try {
    return interpret();
  } catch (const RE::EKorlenUnknown& e) {
    throw unknown(e);
  } catch (const RE::EKorlenInvalidArgument& e) {
    throw invalidArgument(e);
  }
}

}  // namespace twin
}  // namespace solvarium

#endif  // SOLVARIUM_SOLVERS_GENERIC_TWINS_H_
