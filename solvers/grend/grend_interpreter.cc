// The Grend command interpreter: one ordered table of commands and handlers.
#include "solvers/grend/grend_interpreter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <vector>

#include "common/command_table.h"
#include "common/confined_file.h"
#include "common/text_words.h"
#include "solvers/grend/grend_text.h"
#include "solvers/instant_kind.h"

namespace GREND {

namespace {

const char kSave[] = "aaS.save_monitors_with_persisted_data";
const char kList[] = "aaS.list_monitors_with_persisted_data";
const char kNotAvailable[] = "Information not available";
const char kInvalid[] = "Invalid command";

struct Call {
  const std::string& command;  // as received
  const std::vector<std::string>& words;
  GrendState* state;
  const solvarium::StateFlags& flags;
};

using Handler = std::string (*)(const Call&);

AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown unknownCommand() {
  return grendError("Unknown instant aaS command", "", "");
}

const std::set<std::string>& listedNames();

// A monitor kind of the listing and the save.
struct MonitorKind {
  const char* word;
  const char* extension;
};
// Listing order of the command without a kind word.
const MonitorKind kListingOrder[] = {
    {"gst", ".gst"}, {"mntr", ".mntr"}, {"nlh", ".nlh"}, {"cnd", ".cnd"}};
// Order of the entries of "monitor.json".
const char* const kSaveOrder[] = {"mntr", "gst", "cnd", "nlh"};

const MonitorKind* monitorKind(const std::string& word) {
  for (const MonitorKind& kind : kListingOrder) {
    if (word == kind.word) return &kind;
  }
  return nullptr;
}

// Appends the object of one file; true when one was appended.
bool readMonitor(const GrendState& state, const MonitorKind& kind, std::string* json,
                 const std::string& fileName, const std::vector<std::string>& filter) {
  const std::string word = kind.word;
  if (word == "mntr") {
    return readMntrMonitorFile(state.openMonitorFiles, state.dashFolder, json, fileName.c_str(),
                               filter);
  }
  const XmlMonitorKind xml = word == "gst"   ? XmlMonitorKind::kGst
                             : word == "cnd" ? XmlMonitorKind::kCnd
                                             : XmlMonitorKind::kNlh;
  return readXmlMonitorFile(xml, state.openMonitorFiles, state.dashFolder, json,
                            fileName.c_str(), filter);
}

// The listing; `words` is the command alone or with a known kind word.
std::string listMonitors(const GrendState& state, const std::vector<std::string>& words) {
  std::string json = "[\n";
  bool any = false;
  auto readAll = [&](const MonitorKind& kind, const std::vector<std::string>& filter) {
    std::vector<std::string> files;
    listActiveMonitorFiles(state.activeMonitorFiles, kind.extension, &files);
    for (const std::string& file : files) {
      // A separator only between objects that were produced.
      const std::size_t mark = json.size();
      if (any) json += ",";
      if (readMonitor(state, kind, &json, file, filter)) {
        any = true;
      } else {
        json.resize(mark);
      }
    }
  };
  if (words.size() == 1) {
    for (const MonitorKind& kind : kListingOrder) readAll(kind, {});
  } else if (words.size() >= 4) {
    readAll(*monitorKind(words[1]), std::vector<std::string>(words.begin() + 3, words.end()));
  } else {
    readAll(*monitorKind(words[1]), {});
  }
  return json + "]";
}

// The moreInfo of a save that may not, or could not, write its file.
std::string saveFailure(const solvarium::FileStatus& status) {
  switch (status.code) {
    case solvarium::FileStatus::kOutside: return "The file must lie inside the working directory";
    case solvarium::FileStatus::kMissing: return std::strerror(ENOENT);
    case solvarium::FileStatus::kWriteFailed: return status.message;
    default: return "Only a writable regular file in a writable folder is replaced";
  }
}

std::string decimal(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return text;
}

std::string implements(const Call& call) {
  if (call.words.size() > 1) {
    throw grendError("Error: 'aaS.implements.' commands do not have parameters.\n", call.command,
                     "");
  }
  return solvarium::implementsAnswer(listedNames(), call.words[0]);
}

// A getter of an announced value; an empty one is an error when `kEmptyIsError`.
template <std::string GrendState::*kField, bool kEmptyIsError>
std::string getValue(const Call& call) {
  const std::string& value = call.state->*kField;
  if (value.empty() && kEmptyIsError) throw grendError(kNotAvailable, call.command, "");
  return value;
}

std::string getStatus(const Call& call) { return call.flags.text(); }

std::string getNrErrors(const Call& call) {
  return decimal(static_cast<long long>(call.state->errorMessages.size()));
}

std::string getErrors(const Call& call) {
  std::string text;
  for (const std::string& message : call.state->errorMessages) text += message + "\n";
  return text;
}

// A failing save is raised to the caller of the tick.
std::string tick(const Call& call) {
  solvarium::tickAutoSave(
      &call.state->minuteCounter, call.state->autoSavePeriod,
      [&] { interpretGrendCommand(kSave, call.state, call.flags); }, [] { throw; });
  return "";
}

std::string saveMonitors(const Call& call) {
  if (call.words.size() > 2) throw grendError(kInvalid, "", call.command);
  const std::string fileName = call.words.size() == 2 ? call.words[1] : "monitor.json";
  const solvarium::FileStatus saved = solvarium::saveConfinedFile(fileName, [&call] {
    std::string document = "{\n";
    bool first = true;
    for (const char* word : kSaveOrder) {
      const std::string listing = std::string(kList) + " " + word;
      if (!first) document += ",\n";
      first = false;
      document += "\"" + listing + "\":\n";
      document += listMonitors(*call.state, {kList, word});
    }
    return document + "}";
  });
  if (!saved.ok()) {
    throw grendError("Error writing file '" + fileName + "'", call.command, saveFailure(saved));
  }
  return "Done!";
}

std::string listMonitorsCommand(const Call& call) {
  if (call.words.size() > 1 && monitorKind(call.words[1]) == nullptr) throw unknownCommand();
  return listMonitors(*call.state, call.words);
}

std::string setAutoSavePeriod(const Call& call) {
  const int32_t value = call.words.size() == 2 ? leadingInteger(call.words[1]) : 0;
  if (value <= 0) throw grendError(kInvalid, "", "");
  call.state->autoSavePeriod = value;
  return "Auto-Save set at " + decimal(value) + " minutes";
}

std::string suggest(const Call& call) {
  if (call.words.size() > 1) {
    throw grendError("Error: 'aaS.suggest' commands do not have parameters.\n", call.command, "");
  }
  return solvarium::suggestText(listedNames());
}

using solvarium::RowKind;

// In the order tested; the first match decides.
const solvarium::CommandRow<Handler> kCommands[] = {
    {solvarium::kImplementsPrefix, implements, RowKind::kPrefix},
    {"aaS.get_overall_progress", getValue<&GrendState::overallProgress, true>},
    {"aaS.get_current_step_description", getValue<&GrendState::currentStepDescription, true>},
    {"aaS.get_current_step_progress", getValue<&GrendState::currentStepProgress, true>},
    {"aaS.get_current_load_step", getValue<&GrendState::currentLoadStep, true>},
    {"aaS.get_command_line_input_file", getValue<&GrendState::commandLineInputFile, false>},
    {"aaS.get_command_line_job_name", getValue<&GrendState::commandLineJobName, false>},
    {"aaS.get_kor_rpc_port", getValue<&GrendState::rpcPort, true>},
    {"aaS.get_status", getStatus},
    {"aaS.get_nr_errors", getNrErrors},
    {"aaS.get_errors", getErrors},
    {solvarium::kTickCommand, tick, RowKind::kUnlisted},
    {kSave, saveMonitors},
    {kList, listMonitorsCommand},
    {"aaS.set_auto_save_period_json_monitors", setAutoSavePeriod},
    {"aaS.suggest", suggest},
};

const std::set<std::string>& listedNames() {
  static const std::set<std::string> names = solvarium::listedCommands(kCommands);
  return names;
}

}  // namespace

std::string interpretGrendCommand(const std::string& command, GrendState* state,
                                  const solvarium::StateFlags& flags) {
  const std::vector<std::string_view> split = solvarium::splitWords(command, kWhiteSpace);
  const std::vector<std::string> words(split.begin(), split.end());
  if (words.empty()) throw grendError("Empty instant aaS command", "", "");
  const auto* row = solvarium::findCommand(kCommands, words[0]);
  if (row == nullptr) throw unknownCommand();
  return row->handler(Call{command, words, state, flags});
}


}  // namespace GREND
