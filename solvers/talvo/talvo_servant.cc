#include "solvers/talvo/talvo_servant.h"

#include "solvers/talvo/talvo_broadcast.h"
#include "solvers/talvo/talvo_interpreter.h"
#include "solvers/talvo/talvo_kind.h"

namespace TALVO {

namespace {

char* copy(const std::string& text) { return CORBA::string_dup(text.c_str()); }
std::string text(const char* value) { return value != nullptr ? value : ""; }

// A field of the state, read or replaced under SerialCall.
template <typename Field>
Field read(const Field& field) {
  const solvarium::SerialCall serial;
  return field;
}
template <typename Field>
void replace(Field* field, const Field& value) {
  const solvarium::SerialCall serial;
  *field = value;
}

}  // namespace

CTalvoSolvarium::CTalvoSolvarium(CORBA::ORB_ptr orb)
    : KindServant(orb, talvoKind()) {}

void CTalvoSolvarium::addGenericErrorExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  dispatchTalvoMessage(text(message), &state_, &stateFlags());
}

void CTalvoSolvarium::resetExceptions() {
  const solvarium::SerialCall serial;
  state_.resetExceptions();
}

CORBA::Long CTalvoSolvarium::getNrErrorExceptions() {
  const solvarium::SerialCall serial;
  return static_cast<CORBA::Long>(state_.errorMessages.size());
}

char* CTalvoSolvarium::getErrorExceptionByIndex(CORBA::Long index) {
  const solvarium::SerialCall serial;
  if (index < 0 || static_cast<std::size_t>(index) >= state_.errorMessages.size()) return copy("");
  return copy(state_.errorMessages[static_cast<std::size_t>(index)]);
}

char* CTalvoSolvarium::getQuestionType() { return copy(read(state_.questionType)); }
char* CTalvoSolvarium::getQuestionPrompt() { return copy(read(state_.questionPrompt)); }
char* CTalvoSolvarium::getQuestionDefaultAnswer() {
  return copy(read(state_.questionDefaultAnswer));
}
char* CTalvoSolvarium::getQuestionMenu() { return copy(read(state_.questionMenu)); }
char* CTalvoSolvarium::getQuestionHelp() { return copy(read(state_.questionHelp)); }
char* CTalvoSolvarium::getQuestionMsg() { return copy(read(state_.questionMsg)); }
CORBA::Boolean CTalvoSolvarium::isQuestionYesNo() { return read(state_.questionYesNo); }
CORBA::Boolean CTalvoSolvarium::isAasListenerVisited() { return read(state_.aasListenerVisited); }
char* CTalvoSolvarium::getStatus() {
  const solvarium::SerialCall serial;
  return copy(stateFlags().text());
}
char* CTalvoSolvarium::getVisited() {
  const solvarium::SerialCall serial;
  return copy(state_.visitedText());
}

char* CTalvoSolvarium::doInstantCommandToString(const char* command) {
  return run(command, Raises::kKindModule);
}

void CTalvoSolvarium::setQuestionType(const char* value) {
  replace(&state_.questionType, text(value));
}
void CTalvoSolvarium::setQuestionPrompt(const char* value) {
  replace(&state_.questionPrompt, text(value));
}
void CTalvoSolvarium::setQuestionDefaultAnswer(const char* value) {
  replace(&state_.questionDefaultAnswer, text(value));
}
void CTalvoSolvarium::setQuestionMenu(const char* value) {
  const solvarium::SerialCall serial;
  state_.setQuestionMenu(text(value));
}
void CTalvoSolvarium::setQuestionHelp(const char* value) {
  replace(&state_.questionHelp, text(value));
}
void CTalvoSolvarium::setQuestionMsg(const char* value) {
  replace(&state_.questionMsg, text(value));
}
void CTalvoSolvarium::setQuestionYesNo(CORBA::Boolean yes) { replace(&state_.questionYesNo, yes); }

char* CTalvoSolvarium::interpret(const char* command) {
  return copy(interpretTalvoCommand(command, &state_, stateFlags()));
}

}  // namespace TALVO
