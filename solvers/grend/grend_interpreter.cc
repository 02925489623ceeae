// The Grend command interpreter: getters of the broadcast state, the monitor
// listing and save, the minute tick and the auto-save period.
#include "solvers/grend/grend_interpreter.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/confined_path.h"
#include "common/safe_file.h"
#include "service/instant_scripting.h"
#include "solvers/grend/grend_servant.h"
#include "solvers/grend/grend_text.h"
#include "service/servant_poa.h"

namespace GREND {

namespace {

const char kImplements[] = "aaS.implements.";
const char kTick[] = "aaS_internal.tic_one_minute";
const char kSave[] = "aaS.save_monitors_with_persisted_data";
const char kList[] = "aaS.list_monitors_with_persisted_data";
const char kAutoSave[] = "aaS.set_auto_save_period_json_monitors";
const char kSuggest[] = "aaS.suggest";
const char kNotAvailable[] = "Information not available";
const char kInvalid[] = "Invalid command";

// The getters: command, field, whether an empty value is an error.
struct Getter {
  const char* name;
  std::string CGrendSolvarium::*field;
  bool emptyIsError;
};
const Getter kGetters[] = {
    {"aaS.get_overall_progress", &CGrendSolvarium::overallProgress, true},
    {"aaS.get_current_step_description", &CGrendSolvarium::currentStepDescription, true},
    {"aaS.get_current_step_progress", &CGrendSolvarium::currentStepProgress, true},
    {"aaS.get_current_load_step", &CGrendSolvarium::currentLoadStep, true},
    {"aaS.get_command_line_input_file", &CGrendSolvarium::commandLineInputFile, false},
    {"aaS.get_command_line_job_name", &CGrendSolvarium::commandLineJobName, false},
    {"aaS.get_kor_rpc_port", &CGrendSolvarium::rpcPort, true},
};

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
bool readMonitor(const CGrendSolvarium& unit, const MonitorKind& kind, std::string* json,
                 const std::string& fileName, const std::vector<std::string>& filter) {
  const std::string word = kind.word;
  if (word == "mntr") {
    return readMntrMonitorFile(unit.openMonitorFiles, json, fileName.c_str(), filter);
  }
  const XmlMonitorKind xml = word == "gst"   ? XmlMonitorKind::kGst
                             : word == "cnd" ? XmlMonitorKind::kCnd
                                             : XmlMonitorKind::kNlh;
  return readXmlMonitorFile(xml, unit.openMonitorFiles, json, fileName.c_str(), filter);
}

// Why the save may not write `fileName` (null when it may), and the file it
// then replaces.
const char* saveRefusal(const std::string& fileName, std::string* target) {
  switch (solvarium::resolveInWorkingDirectory(fileName, target)) {
    case solvarium::PathResolution::kOutside:
      return "The file must lie inside the working directory";
    case solvarium::PathResolution::kMissing: return std::strerror(ENOENT);
    case solvarium::PathResolution::kOk: break;
  }
  if (!solvarium::isReplaceableFile(*target)) {
    return "Only a writable regular file in a writable folder is replaced";
  }
  return nullptr;
}

std::string decimal(long long value) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld", value);
  return text;
}

}  // namespace

const std::vector<std::string>& grendCommandNames() {
  static const std::vector<std::string> names = {
      "aaS.get_overall_progress", "aaS.get_current_step_description",
      "aaS.get_current_step_progress", "aaS.get_current_load_step",
      "aaS.get_command_line_input_file", "aaS.get_command_line_job_name",
      "aaS.get_kor_rpc_port", "aaS.get_status", "aaS.get_nr_errors", "aaS.get_errors",
      kSave, kList, kAutoSave, kSuggest};
  return names;
}

AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown grendError(const std::string& description,
                                                               const std::string& operation,
                                                               const std::string& moreInfo) {
  return AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown(
      1, description.c_str(), "", "", operation.c_str(), moreInfo.c_str());
}

char* CGrendSolvarium::executeCommandToString(const char* commandText) {
  const solvarium::SerialCall serial;
  const std::string command = commandText != nullptr ? commandText : "";
  std::vector<std::string> words;
  for (std::string_view word : splitWords(command, kWhiteSpace)) words.emplace_back(word);
  if (words.empty()) throw grendError("Empty instant aaS command", "", "");
  return CORBA::string_dup(interpret(command, words).c_str());
}

std::string CGrendSolvarium::interpret(const std::string& command,
                                       const std::vector<std::string>& words) {
  const std::string& name = words[0];
  const bool alone = words.size() == 1;
  const std::size_t prefix = sizeof kImplements - 1;
  const bool isImplements = name.compare(0, prefix, kImplements) == 0;
  if (isImplements) {
    if (!alone) {
      throw grendError("Error: 'aaS.implements.' commands do not have parameters.\n", command,
                       "");
    }
    return supportedCommands.count("aaS." + name.substr(prefix)) != 0 ? "True" : "False";
  }
  for (const Getter& getter : kGetters) {
    if (name != getter.name) continue;
    const std::string& value = this->*getter.field;
    if (value.empty() && getter.emptyIsError) throw grendError(kNotAvailable, command, "");
    return value;
  }
  if (name == "aaS.get_status") return scripting->stateFlagsText();
  if (name == "aaS.get_nr_errors") return decimal(static_cast<long long>(errorMessages.size()));
  if (name == "aaS.get_errors") {
    std::string text;
    for (const std::string& message : errorMessages) text += message + "\n";
    return text;
  }
  if (name == kTick) return tick();
  if (name == kSave) return saveMonitors(command, words);
  if (name == kList && (alone || monitorKind(words[1]) != nullptr)) return listMonitors(words);
  if (name == kAutoSave) return setAutoSavePeriod(words);
  if (name == kSuggest) {
    if (!alone) {
      throw grendError("Error: 'aaS.suggest' commands do not have parameters.\n", command, "");
    }
    std::string text;
    for (const std::string& supported : supportedCommands) text += supported + "\n";
    return text;
  }
  throw grendError("Unknown instant aaS command", "", "");
}

std::string CGrendSolvarium::listMonitors(const std::vector<std::string>& words) {
  std::string json = "[\n";
  bool any = false;
  auto readAll = [&](const MonitorKind& kind, const std::vector<std::string>& filter) {
    std::vector<std::string> files;
    GREND::listActiveMonitorFiles(activeMonitorFiles, kind.extension, &files);
    for (const std::string& file : files) {
      // A separator only between objects that were produced.
      const std::size_t mark = json.size();
      if (any) json += ",";
      if (readMonitor(*this, kind, &json, file, filter)) {
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

std::string CGrendSolvarium::saveMonitors(const std::string& command,
                                          const std::vector<std::string>& words) {
  if (words.size() > 2) throw grendError(kInvalid, "", command);
  const std::string fileName = words.size() == 2 ? words[1] : "monitor.json";
  std::string target;
  if (const char* refused = saveRefusal(fileName, &target)) {
    throw grendError("Error writing file '" + fileName + "'", command, refused);
  }
  std::string document = "{\n";
  bool first = true;
  for (const char* word : kSaveOrder) {
    const std::string listing = std::string(kList) + " " + word;
    if (!first) document += ",\n";
    first = false;
    document += "\"" + listing + "\":\n";
    document += listMonitors({kList, word});
  }
  document += "}";
  std::string error;
  if (!solvarium::writeFileAtomically(target, document, &error)) {
    throw grendError("Error writing file '" + fileName + "'", command, error);
  }
  return "Done!";
}

std::string CGrendSolvarium::tick() {
  ++minuteCounter;
  if (minuteCounter >= autoSavePeriod) {
    CORBA::String_var answer = executeCommandToString(kSave);
    minuteCounter = 0;
  }
  return "";
}

std::string CGrendSolvarium::setAutoSavePeriod(const std::vector<std::string>& words) {
  const int32_t value = words.size() == 2 ? leadingInteger(words[1]) : 0;
  if (value <= 0) throw grendError(kInvalid, "", "");
  autoSavePeriod = value;
  return "Auto-Save set at " + decimal(value) + " minutes";
}

}  // namespace GREND
