#include "solvers/grend/grend_broadcast.h"

#include <sys/stat.h>

#include <functional>
#include <string>
#include <vector>

#include "common/confined_path.h"
#include "common/text_words.h"
#include "platform/process.h"
#include "service/service_log.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"
#include "solvers/grend/grend_state.h"
#include "solvers/grend/grend_text.h"

namespace GREND {

namespace {

const char kTrace[] = "grend_broadcasts.txt";
const char kErrorFile[] = "instant_aas_error.txt";

using solvarium::matchPrefix;

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

void monitorFileMessage(const std::string& event, const std::string& payload, GrendState* state) {
  const std::string path = inDashFolder(state->dashFolder, payload);
  const std::string file = "File '" + path + "'";
  if (event == "activate") {
    if (!monitorFileExists(path, payload, state->dashFolder)) {
      reject("Invalid activate file broadcast. " + file + " does not exist.", path);
    }
    if (isOn(state->activeMonitorFiles, path)) {
      reject("Invalid activate file broadcast. " + file + " is broadcast as already activated",
             path);
    }
    state->activeMonitorFiles[path] = true;
  } else if (event == "deactivate") {
    if (!isOn(state->activeMonitorFiles, path)) {
      reject("Invalid deactivate file broadcast. " + file + " is broadcast as not activated",
             path);
    }
    state->activeMonitorFiles[path] = false;
  } else if (event == "open") {
    if (!present(state->activeMonitorFiles, path)) {
      reject("Invalid open file broadcast. " + file + " is not activated", path);
    }
    if (isOn(state->openMonitorFiles, path)) {
      reject("Invalid open file broadcast. " + file + " is broadcast as already open", path);
    }
    state->openMonitorFiles[path] = true;
  } else {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
      reject("Invalid closed file broadcast. " + file + " does not exist.", path);
    }
    if (!present(state->activeMonitorFiles, path)) {
      reject("Invalid close file broadcast. " + file + " is not activated", path);
    }
    if (!isOn(state->openMonitorFiles, path)) {
      reject("Invalid closed file broadcast. Open file broadcast for '" + path +
                 "' has not been executed",
             path);
    }
    state->openMonitorFiles[path] = false;
  }
}

void started(const std::string& payload, solvarium::StateFlags* flags,
             const std::function<void()>& saveMonitors) {
  const std::vector<std::string_view> parts = solvarium::splitWords(payload, ":");
  if (parts.size() >= 3 && parts[2] == "journaling" && flags->has("prejournaling")) {
    flags->set("prejournaling", false);
  }
  if (payload == "solver-shutdown") {
    // A failed save is logged; the flag is still set.
    try {
      saveMonitors();
    } catch (const AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown& e) {
      solvarium::appendText(kErrorFile, "\n" + std::string(e.description.in()) + "\n" +
                                            std::string(e.moreInfo.in()) + "\n");
    }
  }
  flags->set(payload, true);
}

void ended(const std::string& payload, GrendState* state, solvarium::StateFlags* flags) {
  const std::vector<std::string_view> parts = solvarium::splitWords(payload, ":");
  if (!parts.empty()) {
    if (parts[0] == "journaling" && flags->has("prejournaling")) {
      flags->set("prejournaling", false);
    }
    if (parts[0] == "solve") {
      state->overallProgress.clear();
      state->currentStepDescription.clear();
      state->currentStepProgress.clear();
      state->currentLoadStep.clear();
    }
  }
  flags->set(payload, false);
}

}  // namespace

void dispatchGrendMessage(const std::string& message, GrendState* state,
                          solvarium::StateFlags* flags, const std::function<void()>& saveMonitors) {
  solvarium::appendText(kTrace, "<<" + message + ">>\n");
  const std::string trimmed(solvarium::trimChars(message, kWhiteSpace));
  if (trimmed.empty()) return;

  std::string payload;
  if (matchPrefix(message, "broadcast::overall-progress:", &payload)) {
    state->overallProgress = std::string(solvarium::trimChars(payload, kBlanks));
  } else if (matchPrefix(message, "broadcast::current-step-description:", &payload)) {
    state->currentStepDescription = std::string(solvarium::trimChars(payload, kBlanks));
  } else if (matchPrefix(message, "broadcast::current-step-progress:", &payload)) {
    state->currentStepProgress = std::string(solvarium::trimChars(payload, kBlanks));
  } else if (matchPrefix(message, "broadcast::current-load-step:", &payload)) {
    state->currentLoadStep = std::string(solvarium::trimChars(payload, kBlanks));
  } else if (matchPrefix(message, "broadcast::visited:collaborativecosolverunitior-set:",
                         &payload)) {
    state->collaborativeSolverUnitIor = payload;
  } else if (matchPrefix(trimmed, "broadcast::set:kor-rpc-port:", &payload)) {
    state->rpcPort = payload;
  } else if (matchPrefix(trimmed, "broadcast::set:command_line_input_file:", &payload)) {
    state->commandLineInputFile = payload;
  } else if (matchPrefix(trimmed, "broadcast::set:command_line_job_name:", &payload)) {
    state->commandLineJobName = payload;
  } else if (matchPrefix(trimmed, "broadcast::visited:grend-pid:", &payload)) {
    // A process id as the solver announces it: a leading decimal number above
    // 0 that fits 32 bits (what follows is ignored); anything else is only
    // traced. The process is held from here on, before the watcher learns of it.
    long pid = 0;
    if (solvarium::platform::parsePid(payload, &pid)) {
      solvarium::holdSolverProcess(pid);
      solvarium::solverPidBuffer().set(payload);
    }
  } else if (matchPrefix(trimmed, "broadcast::monitor-file-activate:", &payload)) {
    monitorFileMessage("activate", payload, state);
  } else if (matchPrefix(trimmed, "broadcast::monitor-file-deactivate:", &payload)) {
    monitorFileMessage("deactivate", payload, state);
  } else if (trimmed == "broadcast::monitor-file-deactivate-all") {
    state->activeMonitorFiles.clear();
  } else if (matchPrefix(trimmed, "broadcast::monitor-file-open:", &payload)) {
    monitorFileMessage("open", payload, state);
  } else if (matchPrefix(trimmed, "broadcast::monitor-file-closed:", &payload)) {
    monitorFileMessage("closed", payload, state);
  } else if (matchPrefix(trimmed, "broadcast::visited:", &payload) ||
             matchPrefix(trimmed, "broadcast::resoluted:", &payload)) {
    // accepted; no further effect
  } else if (trimmed == "broadcast::clear-errors") {
    state->errorMessages.clear();
  } else if (matchPrefix(trimmed, "broadcast::error:", &payload)) {
    state->errorMessages.push_back(payload);
  } else if (matchPrefix(trimmed, "broadcast::started:", &payload)) {
    started(payload, flags, saveMonitors);
  } else if (matchPrefix(trimmed, "broadcast::ended:", &payload)) {
    ended(payload, state, flags);
  } else if (trimmed == "broadcast::interrupted") {
    flags->clear();
  }
}

}  // namespace GREND
