// TALVO::CTalvoSolvarium: servant of AAS_CORBA::Talvo::ITalvoExceptionHolder
// and root object of the Talvo kind (a solvarium::KindServant: a SolverKind,
// which owns the three generic servants, with the operations Grend shares).
// The solver side pushes its broadcasts and its pending question into it;
// clients reach its command interpreter through the generic scripting
// servant. The state lives in a TalvoState; each operation forwards to the
// functions over it.
//
// One per process, created by the kind's record with the ORB. Requests reach
// it through the ORB-controlled servant POA, and every operation runs under
// SerialCall, one at a time.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_SERVANT_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_SERVANT_H_

#include "AAS_CORBA.hh"
#include "solvers/kind_servant.h"
#include "solvers/talvo/talvo_state.h"

namespace TALVO {

class CTalvoSolvarium
    : public solvarium::KindServant<POA_AAS_CORBA::Talvo::ITalvoExceptionHolder, TalvoState> {
 public:
  // Creates the generic servants. The server activates this servant first,
  // then the generic ones.
  explicit CTalvoSolvarium(CORBA::ORB_ptr orb);

  // ITalvoExceptionHolder.
  void addGenericErrorExceptionMessage(const char* message) override;
  void resetExceptions() override;
  CORBA::Long getNrErrorExceptions() override;
  char* getErrorExceptionByIndex(CORBA::Long index) override;
  char* getQuestionType() override;
  char* getQuestionPrompt() override;
  char* getQuestionDefaultAnswer() override;
  char* getQuestionMenu() override;
  char* getQuestionHelp() override;
  char* getQuestionMsg() override;
  CORBA::Boolean isQuestionYesNo() override;
  CORBA::Boolean isAasListenerVisited() override;
  char* getStatus() override;
  char* getVisited() override;
  char* doInstantCommandToString(const char* command) override;  // run()
  void setQuestionType(const char* text) override;
  void setQuestionPrompt(const char* text) override;
  void setQuestionDefaultAnswer(const char* text) override;
  void setQuestionMenu(const char* text) override;
  void setQuestionHelp(const char* text) override;
  void setQuestionMsg(const char* text) override;
  void setQuestionYesNo(CORBA::Boolean yesNo) override;

 private:
  char* interpret(const char* command) override;  // interpretTalvoCommand()
};

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_SERVANT_H_
