#include "solvers/talvo/talvo_servant.h"

#include "service/servant_poa.h"
#include "service/watcher_buffers.h"
#include "solvers/instant_kind.h"
#include "solvers/talvo/talvo_broadcast.h"
#include "solvers/talvo/talvo_interpreter.h"
#include "solvers/talvo/talvo_kind.h"

namespace TALVO {

namespace {

char* copy(const std::string& text) { return CORBA::string_dup(text.c_str()); }
std::string text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

CTalvoSolvarium::CTalvoSolvarium(CORBA::ORB_ptr orb)
    : SolverKind(orb, talvoKind()) {}

CTalvoSolvarium::~CTalvoSolvarium() = default;

PortableServer::POA_ptr CTalvoSolvarium::_default_POA() { return solvarium::servantPoa(); }

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

char* CTalvoSolvarium::getQuestionType() {
  const solvarium::SerialCall serial;
  return copy(state_.questionType);
}
char* CTalvoSolvarium::getQuestionPrompt() {
  const solvarium::SerialCall serial;
  return copy(state_.questionPrompt);
}
char* CTalvoSolvarium::getQuestionDefaultAnswer() {
  const solvarium::SerialCall serial;
  return copy(state_.questionDefaultAnswer);
}
char* CTalvoSolvarium::getQuestionMenu() {
  const solvarium::SerialCall serial;
  return copy(state_.questionMenu);
}
char* CTalvoSolvarium::getQuestionHelp() {
  const solvarium::SerialCall serial;
  return copy(state_.questionHelp);
}
char* CTalvoSolvarium::getQuestionMsg() {
  const solvarium::SerialCall serial;
  return copy(state_.questionMsg);
}
CORBA::Boolean CTalvoSolvarium::isQuestionYesNo() {
  const solvarium::SerialCall serial;
  return state_.questionYesNo;
}
CORBA::Boolean CTalvoSolvarium::isAasListenerVisited() {
  const solvarium::SerialCall serial;
  return state_.aasListenerVisited;
}
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
  const solvarium::SerialCall serial;
  state_.questionType = text(value);
}
void CTalvoSolvarium::setQuestionPrompt(const char* value) {
  const solvarium::SerialCall serial;
  state_.questionPrompt = text(value);
}
void CTalvoSolvarium::setQuestionDefaultAnswer(const char* value) {
  const solvarium::SerialCall serial;
  state_.questionDefaultAnswer = text(value);
}
void CTalvoSolvarium::setQuestionMenu(const char* value) {
  const solvarium::SerialCall serial;
  state_.setQuestionMenu(text(value));
}
void CTalvoSolvarium::setQuestionHelp(const char* value) {
  const solvarium::SerialCall serial;
  state_.questionHelp = text(value);
}
void CTalvoSolvarium::setQuestionMsg(const char* value) {
  const solvarium::SerialCall serial;
  state_.questionMsg = text(value);
}
void CTalvoSolvarium::setQuestionYesNo(CORBA::Boolean yesNo) {
  const solvarium::SerialCall serial;
  state_.questionYesNo = yesNo;
}

CORBA::Boolean CTalvoSolvarium::shutdown() {
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(ownerOrb());
  return true;
}

char* CTalvoSolvarium::getCoSolverUnitIor() {
  const solvarium::SerialCall serial;
  return copy(solverUnitIor());
}

char* CTalvoSolvarium::interpret(const char* command) {
  return copy(interpretTalvoCommand(command, &state_, stateFlags()));
}

void CTalvoSolvarium::finalSave() {
  solvarium::saveWithReport(this, "aaS.save_monitors_with_persisted_data monitor.json");
}

std::string CTalvoSolvarium::collaborativeIorText() { return state_.collaborativeSolverUnitIor; }

}  // namespace TALVO
