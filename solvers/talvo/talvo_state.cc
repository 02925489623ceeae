#include "solvers/talvo/talvo_state.h"

namespace TALVO {

namespace {

const char* const kSupportedCommands[] = {
    "aaS.get_status",
    "aaS.set_monitor_double_format",
    "aaS.set_monitor_integer_format",
    "aaS.get_last_casefile_name",
    "aaS.get_current_iteration",
    "aaS.get_current_flow_time",
    "aaS.get_current_time_step",
    "aaS.get_nr_active_errors",
    "aaS.get_list_active_errors",
    "aaS.get_nr_input_parameters",
    "aaS.get_nr_output_parameters",
    "aaS.get_list_input_parameters",
    "aaS.get_list_output_parameters",
    "aaS.get_release",
    "aaS.get_paused_index",
    "aaS.get_dimensionality",
    "aaS.get_precision",
    "aaS.set_auto_save_period_json_monitors",
    "aaS.save_monitors_with_persisted_data",
    "aaS.list_monitors",
    "aaS.list_monitors_with_persisted_data",
    "aaS.list_report_definitions",
    "aaS.list_report_files",
    "aaS.list_report_files_with_persisted_data",
    "aaS.list_report_plots",
    "aaS.suggest",
};

}  // namespace

void MonitorFilter::reset() {
  flowTimeFilter = false;
  startFlowTime = 0.0;
  iterationFilter = false;
  startIteration = 0;
  timeStepFilter = false;
  startTimeStep = 0;
}

TalvoState::TalvoState() : supportedCommands(std::begin(kSupportedCommands),
                                             std::end(kSupportedCommands)) {}

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

std::string namesOn(const std::map<std::string, bool>& flags) {
  std::string text;
  for (const auto& entry : flags) {
    if (entry.second) text += entry.first + "\n";
  }
  return text;
}

std::string TalvoState::visitedText() const { return namesOn(visitedFlags); }

}  // namespace TALVO
