#include "solvers/talvo/talvo_servant.h"

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/watcher_buffers.h"
#include "solvers/talvo/talvo_broadcast.h"
#include "solvers/talvo/talvo_interpreter.h"

namespace TALVO {

namespace {

// The scripting servant's state-flag map seen by the dispatcher.
class ScriptingFlags : public StateFlags {
 public:
  explicit ScriptingFlags(solvarium::CInstantScripting* scripting) : scripting_(scripting) {}
  void set(const std::string& name, bool on) override { scripting_->setStateFlag(name, on); }
  bool get(const std::string& name) const override { return scripting_->getStateFlag(name); }
  bool has(const std::string& name) const override { return scripting_->hasStateFlag(name); }
  void clear() override { scripting_->clearStateFlags(); }
  std::string text() const override { return scripting_->stateFlagsText(); }

 private:
  solvarium::CInstantScripting* scripting_;
};

char* copy(const std::string& text) { return CORBA::string_dup(text.c_str()); }
std::string text(const char* value) { return value != nullptr ? value : ""; }

}  // namespace

CTalvoSolvarium::CTalvoSolvarium(CORBA::ORB_ptr orb) : orb_(CORBA::ORB::_duplicate(orb)) {
  solvarium::createGenericServants(solvarium::kKindTalvo, this, &scripting_, &solverUnit_,
                                   &fileSystem_);
}

CTalvoSolvarium::~CTalvoSolvarium() {
  solvarium::deleteGenericServants(&scripting_, &solverUnit_, &fileSystem_);
}

PortableServer::POA_ptr CTalvoSolvarium::_default_POA() { return solvarium::servantPoa(); }

void CTalvoSolvarium::addGenericErrorExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  ScriptingFlags flags(scripting_);
  dispatchTalvoMessage(text(message), &state_, &flags);
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
  return copy(scripting_->stateFlagsText());
}
char* CTalvoSolvarium::getVisited() {
  const solvarium::SerialCall serial;
  return copy(state_.visitedText());
}

char* CTalvoSolvarium::doInstantCommandToString(const char* command) {
  const solvarium::SerialCall serial;
  ScriptingFlags flags(scripting_);
  return copy(interpretTalvoCommand(text(command), &state_, flags));
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
  solvarium::requestServiceShutdown(orb_.in());
  return true;
}

char* CTalvoSolvarium::getCoSolverUnitIor() {
  const solvarium::SerialCall serial;
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = solverUnit_->_this();
  CORBA::String_var ior = orb_->object_to_string(unit.in());
  return ior._retn();
}

CORBA::ORB_ptr CTalvoSolvarium::ownerOrb() { return orb_.in(); }

char* CTalvoSolvarium::interpretCommand(const char* command) {
  return doInstantCommandToString(command);
}

std::string CTalvoSolvarium::getIor() {
  AAS_CORBA::Talvo::ITalvoExceptionHolder_var self = _this();
  CORBA::String_var text = orb_->object_to_string(self.in());
  return text.in();
}

std::string CTalvoSolvarium::ownerIorText() { return getIor(); }
solvarium::CInstantScripting* CTalvoSolvarium::scriptingServant() { return scripting_; }
solvarium::CCoFileSystem* CTalvoSolvarium::fileSystemServant() { return fileSystem_; }
solvarium::CCoSolverUnit* CTalvoSolvarium::solverUnitServant() { return solverUnit_; }
std::string CTalvoSolvarium::collaborativeIorText() { return state_.collaborativeSolverUnitIor; }

}  // namespace TALVO
