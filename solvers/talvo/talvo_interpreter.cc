#include "solvers/talvo/talvo_interpreter.h"

#include <cstdlib>
#include <regex>
#include <set>
#include <vector>

#include "common/command_table.h"
#include "common/command_tokenizer.h"
#include "common/confined_file.h"
#include "common/diagnostics.h"
#include "common/kind_rules.h"
#include "service/service_log.h"
#include "solvers/instant_kind.h"
#include "solvers/talvo/talvo_errors.h"
#include "solvers/talvo/talvo_kind.h"
#include "solvers/talvo/talvo_monitors.h"
#include "solvers/talvo/talvo_report_definitions.h"
#include "solvers/talvo/talvo_report_lists.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

namespace {

const char kSaveCommand[] = "aaS.save_monitors_with_persisted_data";
const char kInvalid[] = "Invalid instant aaS command.\n<";

struct Call {
  const std::string& command;  // as received
  const std::vector<std::string>& tokens;
  TalvoState* state;
  const solvarium::StateFlags& flags;
};

using Handler = std::string (*)(const Call&);

const std::set<std::string>& listedNames();

[[noreturn]] void fail(const Call& call, const std::string& info) {
  raiseTalvoError(call.command, info);
}

void requireNoArguments(const Call& call) {
  if (call.tokens.size() > 1) {
    fail(call, kInvalid + call.tokens[0] + "> command does not have parameters");
  }
}

std::string variableOrFail(const Call& call, const char* name) {
  requireNoArguments(call);
  auto found = call.state->rpVariables.find(name);
  if (found == call.state->rpVariables.end()) fail(call, "Data not available");
  return found->second;
}

std::string countOn(const std::map<std::string, bool>& parameters) {
  int count = 0;
  for (const auto& entry : parameters) count += entry.second ? 1 : 0;
  return std::to_string(count);
}

// The one argument of a format command; asks for it when it is missing.
const std::string& formatArgument(const Call& call, const char* prompt,
                                  const std::string& current) {
  if (call.tokens.size() == 1) raiseUnquotedQuestion(prompt, current.substr(1));
  if (call.tokens.size() > 2) {
    fail(call, kInvalid + call.tokens[0] + "> command requires exactly one parameter");
  }
  return call.tokens[1];
}

std::string setDoubleFormat(const Call& call) {
  const std::string& format = formatArgument(
      call, "Please provide the floating point formatting string", call.state->monitorDoubleFormat);
  static const char kExamples[] =
      " Example of syntactically correct commands:\naaS.set_monitor_double_format 10.7lf\n"
      "aaS.set_monitor_double_format 14.9lg\n";
  static const std::regex pattern(
      "(\\+|-)?(0)?[[:digit:]][[:digit:]]?\\.[[:digit:]][[:digit:]]?l(f|g|e)");
  if (!std::regex_match(format, pattern)) {
    fail(call, std::string("Invalid double format.") + kExamples);
  }
  const std::string candidate = "%" + format;
  const std::string printed = formatDouble(candidate, 1.1);
  if (printed.empty()) fail(call, std::string("Invalid double format.") + kExamples);
  if (std::strtod(printed.c_str(), nullptr) != 1.1) {
    fail(call, std::string("Inaccurate double format.") + kExamples);
  }
  call.state->monitorDoubleFormat = candidate;
  return "Done";
}

std::string setIntegerFormat(const Call& call) {
  const std::string& format = formatArgument(call, "Please provide the integer formatting string",
                                             call.state->monitorIntegerFormat);
  static const std::regex pattern("(\\+|-)?(0)?[[:digit:]][[:digit:]]?(d|i)");
  if (!std::regex_match(format, pattern)) {
    fail(call,
         "Invalid integer format. Example of syntactically correct commands:\n"
         "aaS.set_monitor_integer_format 4d\naaS.set_monitor_integer_format 04d\n");
  }
  const std::string candidate = "%" + format;
  const std::string printed = formatInteger(candidate, 11);
  if (printed.empty() || std::strtol(printed.c_str(), nullptr, 10) != 11) {
    fail(call,
         "Inaccurate integer format. Example of syntactically correct commands:\n"
         "aaS.set_monitor_integer_format 4d\naaS.set_monitor_integer_format 07d\n");
  }
  call.state->monitorIntegerFormat = candidate;
  return "Done";
}

std::string getStatus(const Call& call) { return call.flags.text(); }

std::string getLastCasefileName(const Call& call) {
  return variableOrFail(call, "last-casefile-name");
}

std::string getCurrentIteration(const Call& call) {
  requireNoArguments(call);
  return std::to_string(call.state->currentIteration);
}

std::string getCurrentFlowTime(const Call& call) { return variableOrFail(call, "flow-time"); }
std::string getCurrentTimeStep(const Call& call) { return variableOrFail(call, "time-step"); }

std::string getNrActiveErrors(const Call& call) {
  return std::to_string(call.state->errorMessages.size());
}

std::string getListActiveErrors(const Call& call) {
  std::string text;
  for (std::size_t i = 0; i < call.state->errorMessages.size(); ++i) {
    text += (i ? "\n" : "") + call.state->errorMessages[i];
  }
  return text;
}

// The count or the names of the parameters that are on.
using Parameters = std::map<std::string, bool>;
template <Parameters TalvoState::*kParameters, std::string (*kText)(const Parameters&)>
std::string parameters(const Call& call) {
  requireNoArguments(call);
  return kText(call.state->*kParameters);
}

template <std::string TalvoState::*kField>
std::string field(const Call& call) {
  requireNoArguments(call);
  return call.state->*kField;
}

std::string getPausedIndex(const Call& call) {
  requireNoArguments(call);
  if (call.state->pausedIndex.empty()) fail(call, "Data not available");
  return call.state->pausedIndex;
}

std::string setAutoSavePeriod(const Call& call) {
  return solvarium::autoSavePeriodCommand(
      call.tokens, &call.state->autoSavePeriod, 60, raiseUnquotedQuestion,
      [&call](const std::string& text) { fail(call, text); });
}

// The text strictly between the first "[" and the last "]" of a list
// answer; false for an empty list (blanks and brackets alone) or an answer
// without brackets.
bool listContent(const std::string& answer, std::string* inner) {
  static const std::string kEmptyListChars = std::string(kBlanks) + "[]";
  if (answer.find_first_not_of(kEmptyListChars) == std::string::npos) return false;
  const std::size_t open = answer.find('[');
  const std::size_t close = answer.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close <= open) return false;
  *inner = answer.substr(open + 1, close - open - 1);
  return true;
}

std::string saveMonitors(const Call& call) {
  if (call.tokens.size() == 1) {
    raiseUnquotedQuestion("JSON persisted monitors filename", "monitor.json");
  }
  if (call.tokens.size() > 2) fail(call, "Invalid command[" + call.tokens[2] + "]");
  const std::string fileName = call.tokens[1] == "," ? std::string("monitor.json") : call.tokens[1];
  bool written = false;
  const solvarium::FileStatus saved = solvarium::saveConfinedFile(fileName, [&call] {
    std::string document = "[";
    bool contributed = false;
    for (const char* piece : {"aaS.list_monitors_with_persisted_data",
                              "aaS.list_report_files_with_persisted_data",
                              "aaS.list_report_definitions"}) {
      std::string inner;
      if (!listContent(interpretTalvoCommand(piece, call.state, call.flags), &inner)) continue;
      if (contributed) document += "\n\t,\n";
      document += inner;
      contributed = true;
    }
    return document + "\n]";
  }, &written);
  if (!saved.ok()) {
    solvarium::diagnostic("Talvo monitor save: %s\n", saved.message.c_str());
    fail(call, written ? "Cannot write output file name." : "Cannot open output file name.");
  }
  return "JSON monitors saved in '" + fileName + "'.\n";
}

std::string listMonitors(const Call& call) {
  std::string output;
  listTalvoMonitors(call.state, &output, call.tokens);
  return output;
}

std::string listReportDefinitions(const Call& call) {
  std::string output;
  writeReportDefinitionJson(*call.state, &output);
  return output;
}

std::string listReportFiles(const Call& call) {
  if (call.tokens.size() > 1) fail(call, kInvalid + call.tokens[0] + ">. Too many tokens");
  std::string output;
  writeReportFileJson(*call.state, &output, false, 0, 0);
  return output;
}

std::string listReportFilesWithData(const Call& call) {
  const std::vector<std::string> rest =
      readFilteredMonitorData(&call.state->monitorFilter, call.tokens);
  const MonitorFilter& filter = call.state->monitorFilter;
  if (filter.flowTimeFilter) {
    fail(call, kInvalid + call.tokens[0] + ">.start-flow-time option not supported");
  }
  if (rest.size() != 1) fail(call, kInvalid + call.tokens[0] + ">. Too many tokens");
  std::string output;
  writeReportFileJson(*call.state, &output, true,
                      filter.iterationFilter ? filter.startIteration : 0,
                      filter.timeStepFilter ? filter.startTimeStep : 0);
  return output;
}

std::string listReportPlots(const Call& call) {
  std::string output;
  writeReportPlotJson(*call.state, &output);
  return output;
}

std::string suggest(const Call& call) {
  if (call.tokens.size() > 1) fail(call, "Error: 'aaS_suggest' commands do not have parameters.\n");
  return solvarium::suggestText(listedNames());
}

std::string implements(const Call& call) {
  if (call.tokens.size() > 1) {
    fail(call, "Error: 'aaS.implements.' commands do not have parameters.\n");
  }
  return solvarium::implementsAnswer(listedNames(), call.tokens[0]);
}

// Counts the minute; saves the monitors once the period has been reached.
std::string minuteTick(const Call& call) {
  solvarium::tickAutoSave(
      &call.state->minuteCounter, call.state->autoSavePeriod,
      [&] { interpretTalvoCommand(std::string(kSaveCommand) + " ,", call.state, call.flags); },
      [] {
        solvarium::diagnostic(
            "Talvo auto-save of monitor.json failed: %s\n",
            solvarium::currentFailureText(&talvoKind(), "an exception of unknown type").c_str());
        solvarium::appendText("talvo_instant_aas.error",
                              "\n\nUnknown error executing 'aaS.save_monitors_with_persisted_data "
                              "monitor.json'\n\n");
      });
  return std::string();
}

std::string deprecatedMonitorSets(const Call& call) {
  fail(call, "aaS_list_monitor_sets command has been deprecated.\n Please use "
             "aaS.list_report_files instead.\n");
}
std::string deprecatedMonitorSetsWithData(const Call& call) {
  fail(call, "list_monitor_sets_with_persisted_data command has been deprecated.\n Please use "
             "aaS.list_report_files_with_persisted_data instead.\n");
}
std::string deprecatedPlotSets(const Call& call) {
  fail(call, "list_plot_sets command has been deprecated.\n Please use aaS.list_report_plots "
             "instead.\n");
}

using solvarium::RowKind;

// In the order tested; the first match decides.
const solvarium::CommandRow<Handler> kCommands[] = {
    {solvarium::kImplementsPrefix, implements, RowKind::kPrefix},
    {"aaS.get_status", getStatus},
    {"aaS.set_monitor_double_format", setDoubleFormat},
    {"aaS.set_monitor_integer_format", setIntegerFormat},
    {"aaS.get_last_casefile_name", getLastCasefileName},
    {"aaS.get_current_iteration", getCurrentIteration},
    {"aaS.get_current_flow_time", getCurrentFlowTime},
    {"aaS.get_current_time_step", getCurrentTimeStep},
    {"aaS.get_nr_active_errors", getNrActiveErrors},
    {"aaS.get_list_active_errors", getListActiveErrors},
    {"aaS.get_nr_input_parameters", parameters<&TalvoState::inputParameters, countOn>},
    {"aaS.get_nr_output_parameters", parameters<&TalvoState::outputParameters, countOn>},
    {"aaS.get_list_input_parameters",
     parameters<&TalvoState::inputParameters, solvarium::namesOn>},
    {"aaS.get_list_output_parameters",
     parameters<&TalvoState::outputParameters, solvarium::namesOn>},
    {solvarium::kTickCommand, minuteTick, RowKind::kUnlisted},
    {"aaS.get_release", field<&TalvoState::release>},
    {"aaS.get_paused_index", getPausedIndex},
    {"aaS.get_dimensionality", field<&TalvoState::dimensionality>},
    {"aaS.get_precision", field<&TalvoState::precision>},
    {"aaS.set_auto_save_period_json_monitors", setAutoSavePeriod},
    {kSaveCommand, saveMonitors},
    {"aaS.list_monitors", listMonitors},
    {"aaS.list_monitors_with_persisted_data", listMonitors},
    {"aaS.list_report_definitions", listReportDefinitions},
    {"aaS.list_report_files", listReportFiles},
    {"aaS.list_report_files_with_persisted_data", listReportFilesWithData},
    {"aaS.list_report_plots", listReportPlots},
    {"aaS.suggest", suggest},
    {"aaS.list_monitor_sets", deprecatedMonitorSets, RowKind::kUnlisted},
    {"aaS.list_monitor_sets_with_persisted_data", deprecatedMonitorSetsWithData,
     RowKind::kUnlisted},
    {"aaS.list_plot_sets", deprecatedPlotSets, RowKind::kUnlisted},
};

const std::set<std::string>& listedNames() {
  static const std::set<std::string> names = solvarium::listedCommands(kCommands);
  return names;
}

}  // namespace

std::string interpretTalvoCommand(const std::string& command, TalvoState* state,
                                  const solvarium::StateFlags& flags) {
  // Blanks alone separate tokens: a double quote is text like any other.
  const std::vector<std::string_view> words = solvarium::splitAtBlanks(command);
  const std::vector<std::string> tokens(words.begin(), words.end());
  if (tokens.empty()) raiseTalvoError("", "Empty instant aaS command");
  const auto* row = solvarium::findCommand(kCommands, tokens[0]);
  if (row != nullptr) return row->handler(Call{command, tokens, state, flags});
  raiseTalvoError(command, "Unknown instant aaS command");
}

}  // namespace TALVO
