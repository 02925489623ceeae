// The Brox command interpreter: its table, the commands it answers itself
// and the text helpers of the run listings.
#include "solvers/brox/brox_interpreter.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>

#include "AAS_CORBA.hh"
#include "common/command_table.h"
#include "common/command_tokenizer.h"
#include "common/kind_rules.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_storage_commands.h"
#include "solvers/instant_kind.h"

namespace BROX {

namespace Ex = AAS_CORBA::BROXInstant::Exceptions;

namespace {

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

BroxInterpreter::BroxInterpreter(Hooks hooks, const char* binDir)
    : hooks_(std::move(hooks)), monitors_(will_, binDir) {}

struct BroxInterpreter::Command {
  const char* name;
  std::string (BroxInterpreter::*answer)(const Call&);
  solvarium::RowKind kind = solvarium::RowKind::kListed;
  // Large answers are written once, straight into the answer's string.
  char* (BroxInterpreter::*direct)(const Call&) = nullptr;
};

template <BroxInterpreter::Operation kOperation>
std::string BroxInterpreter::monitorAnswer(const Call& call) {
  std::string result;
  (monitors_.*kOperation)(result, call.tokens, call.command);
  return result;
}

template <BroxInterpreter::Listing kListing>
std::string BroxInterpreter::listingAnswer(const Call& call) {
  std::string result;
  kListing(result, call.tokens, call.command);
  return stripLeadingDotSlash(result);
}

template <bool kActiveOnly>
std::string BroxInterpreter::runList(const Call& call) {
  const Tokens& tokens = call.tokens;
  const bool filtered = !kActiveOnly && tokens.size() == 3 && tokens[1] == "mdef-session";
  BroxStatusHandle handle;
  loadBroxStatusOrRaise(&handle, monitors_.binDir(), call.command);
  const BroxStatusReader::ResultMap& results = handle.reader->results;
  if (kActiveOnly) return activeRunListText(results);
  return stripLeadingDotSlash(runListText(results, filtered ? &tokens[2] : nullptr));
}

namespace {
using I = BroxInterpreter;
using M = BroxMonitors;
using solvarium::RowKind;
}  // namespace

// In the order tested; the first match decides.
const BroxInterpreter::Command BroxInterpreter::kCommands[] = {
    {"aaS.get_storage_status", nullptr, RowKind::kListed, &I::storageStatus},
    {"aaS.list_monitors_with_persisted_data", nullptr, RowKind::kListed, &I::persistedData},
    {"aaS.list_saved_monitors_with_persisted_data", nullptr, RowKind::kListed,
     &I::persistedData},
    {"aaS.getenv", &I::getenvCommand},
    {"aaS.get_status", &I::statusCommand},
    {"aaS.terminate_solver", &I::monitorAnswer<&M::terminateSolver>},
    {"aaS.terminate", &I::monitorAnswer<&M::terminateAllSolvers>},
    {"aaS.list_brox_directories", &I::listingAnswer<listDirectories>},
    {"aaS.list_brox_def_files", &I::listingAnswer<listDefFiles>},
    {"aaS.list_brox_res_files", &I::listingAnswer<listResFiles>},
    {"aaS.list_all_brox_storages", &I::runList<false>},
    {"aaS.list_all_active_brox_storages", &I::runList<true>},
    {"aaS.list_brox_out_files", &I::listingAnswer<listOutFiles>},
    {"aaS.set", &I::setCommand},
    {"aaS.get", &I::getCommand},
    {"aaS.list_all_variable_names", &I::monitorAnswer<&M::listVariableNames>},
    {"aaS.list_active_variable_names", &I::monitorAnswer<&M::listVariableNames>},
    {"aaS.list_saved_variable_names", &I::monitorAnswer<&M::listVariableNames>},
    {"aaS.list_report_plots", &I::reportPlotCommand},
    {"aaS.list_saved_report_plots", &I::reportPlotCommand},
    {"aaS.list_report_plots_with_persisted_data", &I::reportPlotCommand},
    {"aaS.amend_report_plots_will", &I::reportPlotCommand},
    {"aaS.list_saved_report_plots_with_persisted_data", &I::reportPlotCommand},
    {"aaS.list_monitors", &I::monitorAnswer<&M::listMonitors>},
    {"aaS.list_saved_monitors", &I::monitorAnswer<&M::listMonitors>},
    {"aaS.list_monitors_last_values", &I::monitorAnswer<&M::listMonitorsLastValues>},
    {"aaS.list_saved_monitors_last_values", &I::monitorAnswer<&M::listMonitorsLastValues>},
    {solvarium::kTickCommand, &I::tickCommand, RowKind::kUnlisted},
    {"aaS.set_auto_save_period_json_monitors", &I::autoSavePeriodCommand},
    {"aaS.retrieve_will_metadata", &I::retrieveWillMetadataCommand},
    {"aaS.save_report_plots_with_persisted_data", &I::saveReportPlotsCommand},
    {"aaS.retrieve_will", &I::retrieveWillCommand},
    {"aaS.suggest", &I::suggestCommand},
    {solvarium::kImplementsPrefix, &I::implementsCommand, RowKind::kPrefix},
};

const std::set<std::string>& BroxInterpreter::commandNames() {
  static const std::set<std::string> names = solvarium::listedCommands(kCommands);
  return names;
}

char* BroxInterpreter::run(const char* command) {
  hooks_.beforeCommand();
  const std::string text = command != nullptr ? command : "";
  Tokens tokens;
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
  const Command* row = solvarium::findCommand(kCommands, tokens[0]);
  if (row == nullptr) raiseScriptError(text, "Unknown instant aaS command");
  const Call call{text, tokens};
  if (row->direct != nullptr) return (this->*row->direct)(call);
  return CORBA::string_dup((this->*row->answer)(call).c_str());
}

char* BroxInterpreter::storageStatus(const Call&) {
  BroxStatusHandle handle;
  loadBroxStatusOrRaise(&handle, monitors_.binDir(), "aaS.get_storage_status");
  const std::size_t size = statusListJsonSize(handle.reader->results, 0);
  if (size >= 0xFFFFFFFFu) throw std::length_error("Run status answer too large");
  CORBA::String_var answer = CORBA::string_alloc(static_cast<CORBA::ULong>(size));
  *writeStatusListJson(handle.reader->results, 0, answer.inout()) = '\0';
  return answer._retn();
}

char* BroxInterpreter::persistedData(const Call& call) {
  return monitors_.persistedDataAnswer(call.tokens, call.command);
}

std::string BroxInterpreter::getenvCommand(const Call& call) {
  const Tokens& tokens = call.tokens;
  if (tokens.size() == 1) raiseQuestion("Please provide name of environment variable", "");
  if (tokens.size() > 2) raiseScriptError(call.command, "Invalid command[" + tokens[2] + "]");
  const std::string& variable = tokens[1];
  const char* value = std::getenv(variable.c_str());
  if (value == nullptr || *value == '\0') {
    throw Ex::EKorlenUnknown(value == nullptr ? 1 : 2, "Environment variable does not exist!",
                             "BROX Instant aaS", "ICoBROXUnit",
                             "executeCommandToString('aaS.get_env')", variable.c_str());
  }
  return value;
}

std::string BroxInterpreter::statusCommand(const Call&) { return hooks_.stateFlagsText(); }

std::string BroxInterpreter::reportPlotCommand(const Call& call) {
  std::string result;
  monitors_.listReportPlots(result, call.tokens, call.command);
  if (call.tokens[0] == "aaS.amend_report_plots_will" || will_.implicitAmends()) will_.file();
  return result;
}

std::string BroxInterpreter::setCommand(const Call& call) {
  const Tokens& tokens = call.tokens;
  if (tokens.size() != 3 || tokens[1] != "implicit_will_amends" ||
      (tokens[2] != "on" && tokens[2] != "off")) {
    raiseScriptError(call.command, "Invalid command[" + call.command + "]");
  }
  const bool on = tokens[2] == "on";
  if (will_.implicitAmends() == on) {
    return on ? "<implicit_will_amends> is already on" : "<implicit_will_amends> is already off";
  }
  will_.setImplicitAmends(on);
  return on ? "<implicit_will_amends> turned on." : "<implicit_will_amends> turned off.";
}

std::string BroxInterpreter::getCommand(const Call& call) {
  if (call.tokens.size() != 2 || call.tokens[1] != "implicit_will_amends") {
    raiseScriptError(call.command, "Invalid command[" + call.command + "]");
  }
  return will_.implicitAmends() ? "on" : "off";
}

std::string BroxInterpreter::retrieveWillCommand(const Call& call) {
  std::string result;
  will_.retrieve(result, call.tokens, call.command);
  return result;
}

std::string BroxInterpreter::autoSavePeriodCommand(const Call& call) {
  return solvarium::autoSavePeriodCommand(
      call.tokens, &autoSavePeriodMinutes_, 0, raiseQuestion,
      [&call](const std::string& text) { raiseScriptError(call.command, text); });
}

std::string BroxInterpreter::tickCommand(const Call&) {
  // A failing save is reported on stdout: the previous file stays as it was.
  solvarium::tickAutoSave(
      &tickMinutes_, autoSavePeriodMinutes_,
      [this] {
        CORBA::String_var answer = run("aaS.save_report_plots_with_persisted_data monitor.json");
      },
      [] { std::printf("Auto-save of monitor.json failed: %s\n", currentFailureText().c_str()); });
  return std::string();
}

std::string BroxInterpreter::suggestCommand(const Call& call) {
  if (call.tokens.size() > 1) {
    raiseScriptError(call.command, "Error: 'aaS_suggest.' commands do not have parameters.\n");
  }
  return solvarium::suggestText(commandNames());
}

std::string BroxInterpreter::implementsCommand(const Call& call) {
  if (call.tokens.size() > 1) {
    raiseScriptError(call.command, "Error: 'aaS.implements.' commands do not have parameters.\n");
  }
  return solvarium::implementsAnswer(commandNames(), call.tokens[0]);
}

}  // namespace BROX
