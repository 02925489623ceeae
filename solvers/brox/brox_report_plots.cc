#include "solvers/brox/brox_report_plots.h"

#include <map>
#include <set>

#include "common/diagnostics.h"
#include "common/xml_document.h"
#include "platform/platform_names.h"
#include "solvers/brox/brox_interpreter.h"
#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_plot_metadata_handler.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_storage_commands.h"
#include "solvers/brox/brox_variable_names.h"

namespace BROX {

const char kMonitorXmlSystemId[] = "MyXML";

std::string withoutDotSlash(const std::string& path) {
  return path.compare(0, 2, "./") == 0 ? path.substr(2) : path;
}

std::string runMetadataArray(const std::map<std::string, std::string>& metaData,
                             const std::map<std::string, std::string>* data,
                             const BroxStatusReader::ResultMap& results) {
  std::string answer;
  MonitorArrayWriter array(&answer);
  for (const auto& run : metaData) {
    std::string out = "\t{\n";
    appendRunHeader(out, locateMonitor(run.first, runExtension(run.first) == ".res", &results));
    out += "\t\t,\n";
    out += "\t\t\"metaData\":\n";
    out += run.second;
    if (data != nullptr) out += "\t\t,\"Data\":\n" + data->at(run.first);
    out += "\t}\n";
    array.add(out);
  }
  array.end();
  return answer;
}

void parseRunOutput(const std::string& output, ACEXML_DefaultHandler& handler,
                    const std::string& runPath, const std::string& commandText) {
  std::string error;
  if (solvarium::parseXmlDocument(output, handler, kMonitorXmlSystemId, &error)) return;
  solvarium::diagnostic("parse exception: %s\n", error.c_str());
  raiseScriptError(commandText, std::string("Cannot parse the output of ") +
                                    solvarium::platform::kMonitorDataProgram + " for " + runPath +
                                    ":\n" + error);
}

namespace {

const std::set<std::string> kReportPlotCommands = {
    "aaS.list_report_plots", "aaS.list_saved_report_plots",
    "aaS.list_report_plots_with_persisted_data", "aaS.list_saved_report_plots_with_persisted_data",
    "aaS.amend_report_plots_will"};
const std::set<std::string> kReportPlotKeys = {"plot-list", "variable-list", "session-name",
                                               "start-time-step", "end-time-step"};

bool validKeyValuePairs(const Tokens& tokens, const std::set<std::string>& keys) {
  if (tokens.size() % 2 == 0) return false;
  std::set<std::string> seen;
  for (std::size_t i = 1; i < tokens.size(); i += 2) {
    if (keys.count(tokens[i]) == 0 || !seen.insert(tokens[i]).second) return false;
  }
  return true;
}

// The monitor command that reads the persisted data of one report-plot run,
// as tokens and as the command text that names it in errors.
void persistedDataCommand(bool saved, const std::string& session, const std::string& variableList,
                          const std::string& startTimeStep, const std::string& endTimeStep,
                          Tokens* tokens, std::string* text) {
  const std::string command = saved ? "aaS.list_saved_monitors_with_persisted_data"
                                    : "aaS.list_monitors_with_persisted_data";
  *tokens = {command, "session-name", session, "variable-list", "\"" + variableList + "\""};
  if (!endTimeStep.empty()) tokens->insert(tokens->end(), {"end-time-step", endTimeStep});
  if (!startTimeStep.empty()) tokens->insert(tokens->end(), {"start-time-step", startTimeStep});
  *text = command;
  for (std::size_t i = 1; i < tokens->size(); ++i) *text += " " + (*tokens)[i];
}

}  // namespace

void BroxMonitors::listReportPlots(std::string& result, const Tokens& tokens,
                                   const std::string& commandText) {
  BroxStatusHandle status;  // released on every way out
  loadBroxStatusOrRaise(&status, binDir_, commandText);
  const BroxStatusReader::ResultMap& results = status.reader->results;

  const std::string command = tokens.empty() ? std::string() : tokens[0];
  const bool persisted = command == "aaS.list_report_plots_with_persisted_data" ||
                         command == "aaS.list_saved_report_plots_with_persisted_data";
  if (kReportPlotCommands.count(command) == 0) {
    raiseScriptError(command, "command [" + command + "] is not implemented");
  }
  if (!validKeyValuePairs(tokens, kReportPlotKeys)) {
    raiseScriptError(commandText, "command [" + commandText + "] has invalid parameters");
  }

  std::string willText;
  will_.parseArguments(willText, tokens, commandText);
  if (command == "aaS.amend_report_plots_will") {
    result = willText;
    return;
  }

  // Keys and values stand in pairs (checked above).
  std::string sessionName, startTimeStep, endTimeStep;
  std::vector<std::string> filterPairs;
  for (std::size_t i = 1; i + 1 < tokens.size(); i += 2) {
    const std::string& key = tokens[i];
    const std::string& value = tokens[i + 1];
    if (key == "session-name") sessionName = removeEnclosingQuotes(value);
    if (key == "start-time-step") startTimeStep = value;
    if (key == "end-time-step") endTimeStep = value;
    if (key == "variable-list" || key == "plot-list") {
      filterPairs.push_back(key);
      filterPairs.push_back(value);
    }
  }

  const bool saved = command.find("_saved_") != std::string::npos;
  const std::string extension = saved ? ".res" : ".dir";
  std::map<std::string, std::string> metaData;
  std::map<std::string, std::string> data;
  for (const std::string& entry : runPaths(saved)) {
    if (!sessionName.empty() && !runMatchesSession(entry, sessionName, extension)) continue;
    const std::string output = runMonitorData(" -plotinfo ", entry, extension);
    CXmlToJsonPlotMetaDataHandler handler(filterPairs);
    parseRunOutput(output, handler, entry, commandText);
    metaData[entry] = handler.jsonText;
    if (!persisted) continue;

    const std::set<std::string>& names =
        handler.variableFilter.empty() ? handler.plotVariables : handler.variableFilter;
    std::string variableList;
    for (const std::string& name : names) {
      if (!variableList.empty()) variableList += ";";
      variableList += name;
    }
    if (variableList.empty()) {
      data[entry] = "{}";
      continue;
    }
    Tokens monitorTokens;
    std::string monitorText;
    persistedDataCommand(saved, entry.substr(0, entry.size() - 4), variableList, startTimeStep,
                         endTimeStep, &monitorTokens, &monitorText);
    std::string monitorAnswer;
    appendPersistedData(monitorAnswer, monitorTokens, monitorText, true, results);
    const std::string inside = innerArrayText(monitorAnswer);
    data[entry] = inside.empty() ? "{}" : inside;
  }

  result = runMetadataArray(metaData, persisted ? &data : nullptr, results);
}

}  // namespace BROX
