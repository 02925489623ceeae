#include "solvers/talvo/talvo_state.h"

#include "common/state_flags.h"

namespace TALVO {

void MonitorFilter::reset() {
  flowTimeFilter = false;
  startFlowTime = 0.0;
  iterationFilter = false;
  startIteration = 0;
  timeStepFilter = false;
  startTimeStep = 0;
}

void TalvoState::resetExceptions() {
  errorMessages.clear();
  questionType.clear();
  questionPrompt.clear();
  questionDefaultAnswer.clear();
  questionMenu.clear();
  questionHelp.clear();
  questionMsg.clear();
  questionYesNo = false;
}

void TalvoState::setQuestionMenu(const std::string& menu) {
  questionMenu = menu;
  if (menu.find("exit ") != std::string::npos && errorMessages.empty()) resetExceptions();
}

std::string TalvoState::visitedText() const { return solvarium::namesOn(visitedFlags); }

}  // namespace TALVO
