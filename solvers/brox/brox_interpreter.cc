// The Brox "aaS." command interpreter: BROX::CBROXSolvarium::runCommand, the
// commands it answers itself, and the ICoBROXUnit operation in front of it.
#include "solvers/brox/brox_interpreter.h"
#include "solvers/brox/brox_will.h"

#include <cstdlib>
#include <exception>
#include <sstream>

#include "AAS_CORBA.hh"
#include "common/command_tokenizer.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_servant.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

namespace Ex = AAS_CORBA::BROXInstant::Exceptions;

namespace {

const std::string kImplementsPrefix = "aaS.implements.";

void appendRun(const std::string& key, const StatusRecord& record, const std::string* session,
               std::string* text) {
  if (!record.multiConfig) {
    *text += key + "\n";
    return;
  }
  if (session != nullptr && record.name != *session) return;
  for (const auto& configuration : record.configurations) {
    *text += key + "/" + configuration.first + "\n";
  }
}

}  // namespace

const std::vector<std::string>& broxCommandNames() {
  static const std::vector<std::string> names = {
      "aaS.getenv",
      "aaS.get_status",
      "aaS.get_storage_status",
      "aaS.terminate_solver",
      "aaS.terminate",
      "aaS.list_brox_directories",
      "aaS.list_brox_def_files",
      "aaS.list_brox_res_files",
      "aaS.list_all_brox_storages",
      "aaS.list_all_active_brox_storages",
      "aaS.list_brox_out_files",
      "aaS.set",
      "aaS.get",
      "aaS.list_report_plots",
      "aaS.list_saved_report_plots",
      "aaS.list_report_plots_with_persisted_data",
      "aaS.amend_report_plots_will",
      "aaS.list_saved_report_plots_with_persisted_data",
      "aaS.list_monitors",
      "aaS.list_monitors_with_persisted_data",
      "aaS.list_monitors_last_values",
      "aaS.list_saved_monitors_last_values",
      "aaS.list_saved_monitors",
      "aaS.list_saved_monitors_with_persisted_data",
      "aaS.set_auto_save_period_json_monitors",
      "aaS.retrieve_will_metadata",
      "aaS.save_report_plots_with_persisted_data",
      "aaS.retrieve_will",
      "aaS.list_all_variable_names",
      "aaS.list_active_variable_names",
      "aaS.list_saved_variable_names",
      "aaS.suggest",
  };
  return names;
}

std::string suggestText(const std::set<std::string>& commands) {
  std::string text;
  for (const std::string& name : commands) text += name + "\n";
  return text;
}

std::string stripLeadingDotSlash(const std::string& listing) {
  std::string text;
  text.reserve(listing.size());
  std::size_t lineStart = 0;
  while (lineStart < listing.size()) {
    std::size_t lineEnd = listing.find('\n', lineStart);
    lineEnd = lineEnd == std::string::npos ? listing.size() : lineEnd + 1;
    std::size_t from = lineStart;
    if (listing.compare(lineStart, 2, "./") == 0) from += 2;
    text.append(listing, from, lineEnd - from);
    lineStart = lineEnd;
  }
  return text;
}

std::string runListText(const BroxStatusReader::ResultMap& results, const std::string* session) {
  std::string text;
  for (const auto& run : results) appendRun(run.first, run.second, session, &text);
  return text;
}

std::string activeRunListText(const BroxStatusReader::ResultMap& results) {
  std::string text;
  for (const auto& run : results) {
    if (!run.second.completed) appendRun(run.first, run.second, nullptr, &text);
  }
  return text;
}

bool parseAutoSavePeriod(const std::string& text, int32_t* minutes) {
  std::istringstream stream(text);
  int32_t value = 0;
  if (!(stream >> value)) return false;
  if (stream.peek() != std::char_traits<char>::eof()) return false;
  if (value < 1) return false;
  *minutes = value;
  return true;
}

namespace {

// moreInfo of a carried exception: the command, then any further text.
std::string carriedInfo(const char* command, const char* more) {
  std::string text = std::string("Command:\n") + (command != nullptr ? command : "");
  if (more != nullptr && *more != '\0') text += std::string("\n") + more;
  return text;
}

Ex::EKorlenUnknown carried(CORBA::Long code, const char* description, const char* command,
                           const char* more) {
  return Ex::EKorlenUnknown(code, description, "BROX Instant aaS", "ICoBROXUnit",
                            "executeCommandToString", carriedInfo(command, more).c_str());
}

}  // namespace

char* CBROXSolvarium::executeCommandToString(const char* command) {
  beforeCommand();
  const solvarium::SerialCall serial;
  try {
    return runCommand(command);
  } catch (const Ex::EKorlenUnknown&) {
    throw;
  } catch (const Ex::EKorlenInvalidArgument&) {
    throw;
  } catch (const Ex::EInstantScriptError& e) {
    throw carried(e.errorType, e.errorInfo, command, e.commandOutput);
  } catch (const Ex::EInstantReadUnquotedString& e) {
    throw carried(e.questionType, e.questionPrompt, command, e.defaultAnswer);
  } catch (const CORBA::UserException& e) {
    throw carried(1, e._name(), command, "");
  }
}

char* CBROXSolvarium::runCommand(const char* command) {
  checkSolverAlive();
  const std::string text = command != nullptr ? command : "";
  std::vector<std::string> tokens;
  solvarium::TokenizeError error;
  if (!solvarium::tokenizeCommand(text, &tokens, &error)) {
    throw Ex::EKorlenInvalidArgument(1, error.message.c_str(), "Instant BROX aaS",
                                     "ICoScriptingUnit", "executeCommandToString",
                                     ("Command:\n" + text).c_str(),
                                     solvarium::clampPosition(error.position));
  }
  if (tokens.empty()) {
    throw Ex::EKorlenUnknown(1, "Empty instant aaS command", "", "", "", "");
  }
  std::string answer;
  try {
    // Large answers are written once, straight into the answer's string.
    if (tokens[0] == "aaS.get_storage_status") return getStorageStatusJson();
    if (tokens[0] == "aaS.list_monitors_with_persisted_data" ||
        tokens[0] == "aaS.list_saved_monitors_with_persisted_data") {
      return monitors->persistedDataAnswer(tokens, text);
    }
    answer = interpret(text, tokens);
  } catch (const std::exception& e) {
    // A failure of our own code (allocation, library) becomes a script error
    // instead of an unknown system exception at the client.
    raiseScriptError(text, e.what());
  } catch (const std::string& e) {
    raiseScriptError(text, e);
  }
  return CORBA::string_dup(answer.c_str());
}

std::string CBROXSolvarium::interpret(const std::string& command,
                                      const std::vector<std::string>& tokens) {
  const std::string& name = tokens[0];
  const std::size_t n = tokens.size();

  // "aaS.implements.<name>" alone, for a supported name: "True".
  const bool implements = name.compare(0, kImplementsPrefix.size(), kImplementsPrefix) == 0;
  if (n == 1 && implements &&
      supportedCommands.count("aaS." + name.substr(kImplementsPrefix.size())) != 0) {
    return "True";
  }

  std::string result;
  if (name == "aaS.getenv") return getenvCommand(command, tokens);
  if (name == "aaS.get_status") return scripting->stateFlagsText();
  if (name == "aaS.terminate_solver") {
    monitors->terminateSolver(result, tokens, command);
    return result;
  }
  if (name == "aaS.terminate") {
    monitors->terminateAllSolvers(result, tokens, command);
    return result;
  }
  if (name == "aaS.list_brox_directories") {
    monitors->listDirectories(result, tokens, command);
    return stripLeadingDotSlash(result);
  }
  if (name == "aaS.list_brox_def_files") {
    monitors->listDefFiles(result, tokens, command);
    return stripLeadingDotSlash(result);
  }
  if (name == "aaS.list_brox_res_files") {
    monitors->listResFiles(result, tokens, command);
    return stripLeadingDotSlash(result);
  }
  if (name == "aaS.list_all_brox_storages") return runListCommand(command, tokens, false);
  if (name == "aaS.list_all_active_brox_storages") return runListCommand(command, tokens, true);
  if (name == "aaS.list_brox_out_files") {
    monitors->listOutFiles(result, tokens, command);
    return stripLeadingDotSlash(result);
  }
  if (name == "aaS.set") return setCommand(command, tokens);
  if (name == "aaS.get") return getCommand(command, tokens);
  if (name == "aaS.list_all_variable_names" || name == "aaS.list_active_variable_names" ||
      name == "aaS.list_saved_variable_names") {
    monitors->listVariableNames(result, tokens, command);
    return result;
  }
  if (name == "aaS.list_report_plots" || name == "aaS.list_saved_report_plots" ||
      name == "aaS.list_report_plots_with_persisted_data" ||
      name == "aaS.amend_report_plots_will" ||
      name == "aaS.list_saved_report_plots_with_persisted_data") {
    return reportPlotCommand(command, tokens);
  }
  if (name == "aaS.list_monitors" || name == "aaS.list_saved_monitors") {
    monitors->listMonitors(result, tokens, command);
    return result;
  }
  if (name == "aaS.list_monitors_last_values" || name == "aaS.list_saved_monitors_last_values") {
    monitors->listMonitorsLastValues(result, tokens, command);
    return result;
  }
  if (name == "aaS_internal.tic_one_minute") return tickCommand();
  if (name == "aaS.set_auto_save_period_json_monitors") {
    return autoSavePeriodCommand(command, tokens);
  }
  if (name == "aaS.retrieve_will_metadata") {
    return retrieveWillMetadataCommand(command, tokens);
  }
  if (name == "aaS.save_report_plots_with_persisted_data") {
    return saveReportPlotsCommand(command, tokens);
  }
  if (name == "aaS.retrieve_will") {
    monitors->retrieveWill(result, tokens, command);
    return result;
  }
  if (name == "aaS.suggest") {
    if (n > 1) {
      raiseScriptError(command, "Error: 'aaS_suggest.' commands do not have parameters.\n");
    }
    return suggestText(supportedCommands);
  }
  if (implements) {
    if (n == 1) return "False";
    raiseScriptError(command, "Error: 'aaS.implements.' commands do not have parameters.\n");
  }
  raiseScriptError(command, "Unknown instant aaS command");
}

std::string CBROXSolvarium::getenvCommand(const std::string& command,
                                          const std::vector<std::string>& tokens) {
  if (tokens.size() == 1) raiseQuestion("Please provide name of environment variable", "");
  if (tokens.size() > 2) raiseScriptError(command, "Invalid command[" + tokens[2] + "]");
  const std::string& variable = tokens[1];
  const char* value = std::getenv(variable.c_str());
  if (value == nullptr || *value == '\0') {
    throw Ex::EKorlenUnknown(value == nullptr ? 1 : 2, "Environment variable does not exist!",
                             "BROX Instant aaS", "ICoBROXUnit",
                             "executeCommandToString('aaS.get_env')", variable.c_str());
  }
  return value;
}

std::string CBROXSolvarium::runListCommand(const std::string& command,
                                           const std::vector<std::string>& tokens,
                                           bool activeOnly) {
  const bool filtered = !activeOnly && tokens.size() == 3 && tokens[1] == "mdef-session";
  BroxStatusHandle handle;
  loadBroxStatusOrRaise(&handle, command);
  const BroxStatusReader::ResultMap& results = handle.reader->results;
  if (activeOnly) return activeRunListText(results);
  return stripLeadingDotSlash(runListText(results, filtered ? &tokens[2] : nullptr));
}

std::string CBROXSolvarium::reportPlotCommand(const std::string& command,
                                              const std::vector<std::string>& tokens) {
  std::string result;
  monitors->listReportPlots(result, tokens, command);
  if (tokens[0] == "aaS.amend_report_plots_will" || monitors->implicitWillAmends) {
    will.clear();
    if (!monitors->willPlotList.empty()) {
      std::vector<std::string>& words = will[monitors->willSessionName];
      words.push_back("plot-list");
      words.push_back(monitors->willPlotList);
    }
    if (!monitors->willVariableList.empty()) {
      std::vector<std::string>& words = will[monitors->willSessionName];
      words.push_back("variable-list");
      words.push_back(monitors->willVariableList);
    }
  }
  return result;
}

std::string CBROXSolvarium::setCommand(const std::string& command,
                                       const std::vector<std::string>& tokens) {
  if (tokens.size() != 3 || tokens[1] != "implicit_will_amends" ||
      (tokens[2] != "on" && tokens[2] != "off")) {
    raiseScriptError(command, "Invalid command[" + command + "]");
  }
  const bool on = tokens[2] == "on";
  if (monitors->implicitWillAmends == on) {
    return on ? "<implicit_will_amends> is already on" : "<implicit_will_amends> is already off";
  }
  monitors->implicitWillAmends = on;
  return on ? "<implicit_will_amends> turned on." : "<implicit_will_amends> turned off.";
}

std::string CBROXSolvarium::getCommand(const std::string& command,
                                       const std::vector<std::string>& tokens) {
  if (tokens.size() != 2 || tokens[1] != "implicit_will_amends") {
    raiseScriptError(command, "Invalid command[" + command + "]");
  }
  return monitors->implicitWillAmends ? "on" : "off";
}

std::string CBROXSolvarium::autoSavePeriodCommand(const std::string& command,
                                                  const std::vector<std::string>& tokens) {
  if (tokens.size() == 1) {
    raiseQuestion("Auto-Save period in minutes", std::to_string(autoSavePeriodMinutes));
  }
  if (tokens.size() > 2) raiseScriptError(command, "Invalid command[" + tokens[2] + "]");
  int32_t minutes = 0;
  if (!parseAutoSavePeriod(tokens[1], &minutes)) {
    raiseScriptError(command, "Please provide a positive number for auto-save period.");
  }
  autoSavePeriodMinutes = minutes;
  return "Auto-Save period set to " + std::to_string(minutes) + " minutes.";
}

std::string CBROXSolvarium::tickCommand() {
  return tickOneMinute(&tickMinutes, autoSavePeriodMinutes, [this](const std::string& c) {
    CORBA::String_var answer = runCommand(c.c_str());
    return std::string(answer.in());
  });
}

}  // namespace BROX
