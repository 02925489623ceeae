#include "solvers/brox/brox_report_plots.h"

#include <cstdio>
#include <iostream>
#include <map>
#include <set>

#include "AAS_CORBA.hh"
#include "common/json_text.h"
#include "common/xml_document.h"
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

void appendRunHeader(std::string& out, const MonitorLocation& where) {
  out += where.saved ? "\t\t\"monitorType\":\t\"SavedMonitor\"\n"
                     : "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n";
  out += "\t\t,\n";
  out += std::string(where.saved ? "\t\t\"monitorFile\":\t" : "\t\t\"monitorDir\":\t") +
         solvarium::jsonQuote(where.location) + "\n";
  if (!where.multiConfig) return;
  out += "\t\t,\n";
  out += "\t\t\"multiConfigName\":\t" + solvarium::jsonQuote(where.multiConfigName) + "\n";
  out += "\t\t,\n";
  out += "\t\t\"multiConfigIndex\":\t" + std::to_string(where.multiConfigIndex) + "\n";
}

void parseRunOutput(const std::string& output, ACEXML_DefaultHandler& handler,
                    const std::string& program, const std::string& runPath,
                    const std::string& commandText) {
  std::string error;
  if (solvarium::parseXmlDocument(output, handler, kMonitorXmlSystemId, &error)) return;
  std::cerr << "parse exception: " << error << std::endl;
  throw AAS_CORBA::BROXInstant::Exceptions::EInstantScriptError(
      1, commandText.c_str(),
      ("Cannot parse the output of " + program + " for " + runPath + ":\n" + error).c_str(), "");
}

namespace {

const std::set<std::string> kReportPlotCommands = {
    "aaS.list_report_plots", "aaS.list_saved_report_plots",
    "aaS.list_report_plots_with_persisted_data", "aaS.list_saved_report_plots_with_persisted_data",
    "aaS.amend_report_plots_will"};
const std::set<std::string> kReportPlotKeys = {"plot-list", "variable-list", "session-name",
                                               "start-time-step", "end-time-step"};

bool validKeyValuePairs(const BroxMonitors::Tokens& tokens, const std::set<std::string>& keys) {
  if (tokens.size() % 2 == 0) return false;
  std::set<std::string> seen;
  for (std::size_t i = 1; i < tokens.size(); i += 2) {
    if (keys.count(tokens[i]) == 0 || !seen.insert(tokens[i]).second) return false;
  }
  return true;
}

// The text strictly between the first "[" and the last "]".
std::string insideBrackets(const std::string& text) {
  const std::size_t open = text.find('[');
  const std::size_t close = text.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close <= open) return "";
  return text.substr(open + 1, close - open - 1);
}

bool blank(const std::string& text) {
  return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

}  // namespace

void BroxMonitors::listReportPlots(std::string& result, const Tokens& tokens,
                                   const std::string& commandText) {
  BroxStatusHandle status;  // released on every way out
  loadBroxStatus(&status);
  raiseIfStatusFailed(status, commandText);

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
  parseReportPlotArguments(willText, tokens, commandText);
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
  std::string listing;
  if (saved) {
    list_files(listing, ".", extension, 1);
  } else {
    list_folders(listing, ".", extension, 1);
  }

  std::map<std::string, std::string> metaData;
  std::map<std::string, std::string> data;
  for (const std::string& entry : splitListing(listing)) {
    if (!sessionName.empty() && !runMatchesSession(entry, sessionName, extension)) continue;
    const std::string output = runMonitorData(" -plotinfo ", entry, extension);
    CXmlToJsonPlotMetaDataHandler handler(filterPairs);
    parseRunOutput(output, handler, monitorDataProgram, entry, commandText);
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
    const std::string monitorCommand = saved ? "aaS.list_saved_monitors_with_persisted_data"
                                             : "aaS.list_monitors_with_persisted_data";
    const std::string session = entry.substr(0, entry.size() - 4);
    Tokens monitorTokens{monitorCommand, "session-name", session, "variable-list",
                         "\"" + variableList + "\""};
    std::string monitorText =
        monitorCommand + " session-name " + session + " variable-list \"" + variableList + "\"";
    if (!endTimeStep.empty()) {
      monitorTokens.push_back("end-time-step");
      monitorTokens.push_back(endTimeStep);
      monitorText += " end-time-step " + endTimeStep;
    }
    if (!startTimeStep.empty()) {
      monitorTokens.push_back("start-time-step");
      monitorTokens.push_back(startTimeStep);
      monitorText += " start-time-step " + startTimeStep;
    }
    std::string monitorAnswer;
    listMonitorsWithPersistedData(monitorAnswer, monitorTokens, monitorText, true);
    const std::string inside = insideBrackets(monitorAnswer);
    data[entry] = blank(inside) ? "{}" : inside;
  }

  const BroxStatusReader::ResultMap* results =
      status.reader != nullptr ? &status.reader->results : nullptr;
  std::string answer = "[\n";
  bool first = true;
  for (const auto& entry : metaData) {
    if (!first) answer += "\t,";
    first = false;
    answer += "\t{\n";
    appendRunHeader(answer, locateMonitor(entry.first, saved, results));
    answer += "\t\t,\n";
    answer += "\t\t\"metaData\":\n";
    answer += entry.second;
    if (persisted) answer += "\t\t,\"Data\":\n" + data[entry.first];
    answer += "\t}\n";
  }
  answer += "]\n";
  result = answer;
}

}  // namespace BROX
