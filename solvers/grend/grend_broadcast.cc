// The Grend broadcast dispatcher: "broadcast::" messages of the solver side
// turned into the servant's state, each traced to "grend_broadcasts.txt".
#include <sys/stat.h>

#include <string>
#include <vector>

#include "common/confined_path.h"
#include "platform/process.h"
#include "service/instant_scripting.h"
#include "service/service_log.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"
#include "solvers/grend/grend_interpreter.h"
#include "solvers/grend/grend_servant.h"
#include "solvers/grend/grend_text.h"
#include "service/servant_poa.h"

namespace GREND {

namespace {

const char kTrace[] = "grend_broadcasts.txt";
const char kErrorFile[] = "instant_aas_error.txt";

bool startsWith(const std::string& text, const char* prefix, std::string* payload) {
  const std::size_t length = std::char_traits<char>::length(prefix);
  if (text.compare(0, length, prefix) != 0) return false;
  *payload = text.substr(length);
  return true;
}

std::vector<std::string> pieces(const std::string& payload) {
  std::vector<std::string> result;
  for (std::string_view piece : splitWords(payload, ":")) result.emplace_back(piece);
  return result;
}

// P exists: its status can be read (nothing is opened, so a FIFO cannot
// block), and the solver's name for it lies inside the monitor folder.
bool monitorFileExists(const std::string& path, const std::string& payload,
                       const std::string& dashFolder) {
  struct stat info;
  if (::stat(path.c_str(), &info) != 0) return false;
  const std::string folder = monitorFolder(dashFolder);
  std::string target;
  return !folder.empty() &&
         solvarium::resolveInside(folder, payload, &target) == solvarium::PathResolution::kOk;
}

bool present(const MonitorFileTable& table, const std::string& path) {
  return table.count(path) != 0;
}

bool isOn(const MonitorFileTable& table, const std::string& path) {
  auto it = table.find(path);
  return it != table.end() && it->second;
}

[[noreturn]] void reject(const std::string& text, const std::string& path) {
  solvarium::appendText(kErrorFile, "\n" + text + "\n");
  throw grendError(text, "", path);
}

}  // namespace

void CGrendSolvarium::addGenericExceptionMessage(const char* messageText) {
  const solvarium::SerialCall serial;
  const std::string message = messageText != nullptr ? messageText : "";
  solvarium::appendText(kTrace, "<<" + message + ">>\n");
  const std::string trimmed(trimChars(message, kWhiteSpace));
  if (trimmed.empty()) return;

  std::string payload;
  if (startsWith(message, "broadcast::overall-progress:", &payload)) {
    state_.overallProgress = std::string(trimChars(payload, kBlanks));
  } else if (startsWith(message, "broadcast::current-step-description:", &payload)) {
    state_.currentStepDescription = std::string(trimChars(payload, kBlanks));
  } else if (startsWith(message, "broadcast::current-step-progress:", &payload)) {
    state_.currentStepProgress = std::string(trimChars(payload, kBlanks));
  } else if (startsWith(message, "broadcast::current-load-step:", &payload)) {
    state_.currentLoadStep = std::string(trimChars(payload, kBlanks));
  } else if (startsWith(message, "broadcast::visited:collaborativecosolverunitior-set:",
                        &payload)) {
    state_.collaborativeSolverUnitIor = payload;
  } else if (startsWith(trimmed, "broadcast::set:kor-rpc-port:", &payload)) {
    state_.rpcPort = payload;
  } else if (startsWith(trimmed, "broadcast::set:command_line_input_file:", &payload)) {
    state_.commandLineInputFile = payload;
  } else if (startsWith(trimmed, "broadcast::set:command_line_job_name:", &payload)) {
    state_.commandLineJobName = payload;
  } else if (startsWith(trimmed, "broadcast::visited:grend-pid:", &payload)) {
    // A process id as the solver announces it: a leading decimal number above
    // 0 that fits 32 bits (what follows is ignored); anything else is only
    // traced. The process is held from here on, before the watcher learns of it.
    long pid = 0;
    if (solvarium::platform::parsePid(payload, &pid)) {
      solvarium::holdSolverProcess(pid);
      solvarium::solverPidBuffer().set(payload);
    }
  } else if (startsWith(trimmed, "broadcast::monitor-file-activate:", &payload)) {
    monitorFileMessage("activate", payload);
  } else if (startsWith(trimmed, "broadcast::monitor-file-deactivate:", &payload)) {
    monitorFileMessage("deactivate", payload);
  } else if (trimmed == "broadcast::monitor-file-deactivate-all") {
    state_.activeMonitorFiles.clear();
  } else if (startsWith(trimmed, "broadcast::monitor-file-open:", &payload)) {
    monitorFileMessage("open", payload);
  } else if (startsWith(trimmed, "broadcast::monitor-file-closed:", &payload)) {
    monitorFileMessage("closed", payload);
  } else if (startsWith(trimmed, "broadcast::visited:", &payload) ||
             startsWith(trimmed, "broadcast::resoluted:", &payload)) {
    // accepted; no further effect
  } else if (trimmed == "broadcast::clear-errors") {
    state_.errorMessages.clear();
  } else if (startsWith(trimmed, "broadcast::error:", &payload)) {
    state_.errorMessages.push_back(payload);
  } else if (startsWith(trimmed, "broadcast::started:", &payload)) {
    started(payload);
  } else if (startsWith(trimmed, "broadcast::ended:", &payload)) {
    ended(payload);
  } else if (trimmed == "broadcast::interrupted") {
    scriptingServant()->clearStateFlags();
  }
}

void CGrendSolvarium::monitorFileMessage(const std::string& event, const std::string& payload) {
  const std::string path = dashFolderPath(payload);
  const std::string file = "File '" + path + "'";
  if (event == "activate") {
    if (!monitorFileExists(path, payload, state_.dashFolder)) {
      reject("Invalid activate file broadcast. " + file + " does not exist.", path);
    }
    if (isOn(state_.activeMonitorFiles, path)) {
      reject("Invalid activate file broadcast. " + file + " is broadcast as already activated",
             path);
    }
    state_.activeMonitorFiles[path] = true;
  } else if (event == "deactivate") {
    if (!isOn(state_.activeMonitorFiles, path)) {
      reject("Invalid deactivate file broadcast. " + file + " is broadcast as not activated",
             path);
    }
    state_.activeMonitorFiles[path] = false;
  } else if (event == "open") {
    if (!present(state_.activeMonitorFiles, path)) {
      reject("Invalid open file broadcast. " + file + " is not activated", path);
    }
    if (isOn(state_.openMonitorFiles, path)) {
      reject("Invalid open file broadcast. " + file + " is broadcast as already open", path);
    }
    state_.openMonitorFiles[path] = true;
  } else {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
      reject("Invalid closed file broadcast. " + file + " does not exist.", path);
    }
    if (!present(state_.activeMonitorFiles, path)) {
      reject("Invalid close file broadcast. " + file + " is not activated", path);
    }
    if (!isOn(state_.openMonitorFiles, path)) {
      reject("Invalid closed file broadcast. Open file broadcast for '" + path +
                 "' has not been executed",
             path);
    }
    state_.openMonitorFiles[path] = false;
  }
}

void CGrendSolvarium::started(const std::string& payload) {
  const std::vector<std::string> parts = pieces(payload);
  if (parts.size() >= 3 && parts[2] == "journaling" &&
      scriptingServant()->hasStateFlag("prejournaling")) {
    scriptingServant()->setStateFlag("prejournaling", false);
  }
  if (payload == "solver-shutdown") {
    // A failed save is logged; the flag is still set.
    try {
      CORBA::String_var answer =
          executeCommandToString("aaS.save_monitors_with_persisted_data monitor.json");
    } catch (const AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown& e) {
      solvarium::appendText(kErrorFile, "\n" + std::string(e.description.in()) + "\n" +
                                            std::string(e.moreInfo.in()) + "\n");
    }
  }
  scriptingServant()->setStateFlag(payload, true);
}

void CGrendSolvarium::ended(const std::string& payload) {
  const std::vector<std::string> parts = pieces(payload);
  if (!parts.empty()) {
    if (parts[0] == "journaling" && scriptingServant()->hasStateFlag("prejournaling")) {
      scriptingServant()->setStateFlag("prejournaling", false);
    }
    if (parts[0] == "solve") {
      state_.overallProgress.clear();
      state_.currentStepDescription.clear();
      state_.currentStepProgress.clear();
      state_.currentLoadStep.clear();
    }
  }
  scriptingServant()->setStateFlag(payload, false);
}

}  // namespace GREND
