// "brox OP", "grend OP", "talvo OP": every operation of the kind units
// ICoBROXUnit, ICoGrendUnit and
// ITalvoExceptionHolder. The key is the kind's own key file.
#include "AAS_CORBA.hh"
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

Verb broxVerb() {
  using I = ::AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit;
  using O = Obj<I>;
  Verb verb{"brox", "ICoBROXUnit of the Brox key (\"aaS_BROXSolvarium.txt\")", {}};
  verb.operations = {
      call<I>("addGenericExceptionMessage", "MESSAGE...", &O::addGenericExceptionMessage),
      call<I>("executeCommandToString", "COMMAND...", &O::executeCommandToString),
      call<I>("shutdown", "", &O::shutdown),
  };
  return verb;
}

Verb grendVerb() {
  using I = ::AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit;
  using O = Obj<I>;
  Verb verb{"grend", "ICoGrendUnit of the Grend key", {}};
  verb.operations = {
      call<I>("addGenericExceptionMessage", "MESSAGE...", &O::addGenericExceptionMessage),
      call<I>("executeCommandToString", "COMMAND...", &O::executeCommandToString),
      call<I>("shutdown", "", &O::shutdown),
      call<I>("getCoSolverUnitIor", "", &O::getCoSolverUnitIor),
  };
  return verb;
}

Verb talvoVerb() {
  using I = ::AAS_CORBA::Talvo::ITalvoExceptionHolder;
  using O = Obj<I>;
  Verb verb{"talvo", "ITalvoExceptionHolder of the Talvo key", {}};
  verb.operations = {
      call<I>("addGenericErrorExceptionMessage", "MESSAGE...", &O::addGenericErrorExceptionMessage),
      call<I>("resetExceptions", "", &O::resetExceptions),
      call<I>("getNrErrorExceptions", "", &O::getNrErrorExceptions),
      call<I>("getErrorExceptionByIndex", "INDEX", &O::getErrorExceptionByIndex),
      call<I>("getQuestionType", "", &O::getQuestionType),
      call<I>("getQuestionPrompt", "", &O::getQuestionPrompt),
      call<I>("getQuestionDefaultAnswer", "", &O::getQuestionDefaultAnswer),
      call<I>("getQuestionMenu", "", &O::getQuestionMenu),
      call<I>("getQuestionHelp", "", &O::getQuestionHelp),
      call<I>("getQuestionMsg", "", &O::getQuestionMsg),
      call<I>("isQuestionYesNo", "", &O::isQuestionYesNo),
      call<I>("isAasListenerVisited", "", &O::isAasListenerVisited),
      call<I>("getStatus", "", &O::getStatus),
      call<I>("getVisited", "", &O::getVisited),
      call<I>("doInstantCommandToString", "COMMAND...", &O::doInstantCommandToString),
      call<I>("setQuestionType", "TEXT...", &O::setQuestionType),
      call<I>("setQuestionPrompt", "TEXT...", &O::setQuestionPrompt),
      call<I>("setQuestionDefaultAnswer", "TEXT...", &O::setQuestionDefaultAnswer),
      call<I>("setQuestionMenu", "TEXT...", &O::setQuestionMenu),
      call<I>("setQuestionHelp", "TEXT...", &O::setQuestionHelp),
      call<I>("setQuestionMsg", "TEXT...", &O::setQuestionMsg),
      call<I>("setQuestionYesNo", "true|false", &O::setQuestionYesNo),
      call<I>("shutdown", "", &O::shutdown),
      call<I>("getCoSolverUnitIor", "", &O::getCoSolverUnitIor),
  };
  return verb;
}

}  // namespace

std::vector<Verb> kindVerbs() { return {broxVerb(), grendVerb(), talvoVerb()}; }

}  // namespace client
}  // namespace solvarium
