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

// One message and what it may change.
struct Broadcast {
  const std::string& payload;
  GrendState* state;
  solvarium::StateFlags* flags;
  const std::function<void()>& saveMonitors;
};

// What a row's text is matched against: the message as it came or trimmed
// of white space; its beginning (the rest is the payload) or the whole.
enum class Match { kRawPrefix, kTrimmedPrefix, kTrimmedWhole };

struct BroadcastRow {
  const char* text;
  Match match;
  void (*handle)(const Broadcast&);
};

std::string blankTrimmed(const std::string& text) {
  return std::string(solvarium::trimChars(text, kBlanks));
}

// In the order tested; the first row that matches handles the message.
const BroadcastRow kBroadcasts[] = {
    {"broadcast::overall-progress:", Match::kRawPrefix,
     [](const Broadcast& b) { b.state->overallProgress = blankTrimmed(b.payload); }},
    {"broadcast::current-step-description:", Match::kRawPrefix,
     [](const Broadcast& b) { b.state->currentStepDescription = blankTrimmed(b.payload); }},
    {"broadcast::current-step-progress:", Match::kRawPrefix,
     [](const Broadcast& b) { b.state->currentStepProgress = blankTrimmed(b.payload); }},
    {"broadcast::current-load-step:", Match::kRawPrefix,
     [](const Broadcast& b) { b.state->currentLoadStep = blankTrimmed(b.payload); }},
    {"broadcast::visited:collaborativecosolverunitior-set:", Match::kRawPrefix,
     [](const Broadcast& b) { b.state->collaborativeSolverUnitIor = b.payload; }},
    {"broadcast::set:kor-rpc-port:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { b.state->rpcPort = b.payload; }},
    {"broadcast::set:command_line_input_file:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { b.state->commandLineInputFile = b.payload; }},
    {"broadcast::set:command_line_job_name:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { b.state->commandLineJobName = b.payload; }},
    // A process id as the solver announces it: a leading decimal number above
    // 0 that fits 32 bits (what follows is ignored); anything else is only
    // traced. The process is held from here on, before the watcher learns of it.
    {"broadcast::visited:grend-pid:", Match::kTrimmedPrefix,
     [](const Broadcast& b) {
       long pid = 0;
       if (solvarium::platform::parsePid(b.payload, &pid)) {
         solvarium::holdSolverProcess(pid);
         solvarium::solverPidBuffer().set(b.payload);
       }
     }},
    {"broadcast::monitor-file-activate:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { monitorFileMessage("activate", b.payload, b.state); }},
    {"broadcast::monitor-file-deactivate:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { monitorFileMessage("deactivate", b.payload, b.state); }},
    {"broadcast::monitor-file-deactivate-all", Match::kTrimmedWhole,
     [](const Broadcast& b) { b.state->activeMonitorFiles.clear(); }},
    {"broadcast::monitor-file-open:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { monitorFileMessage("open", b.payload, b.state); }},
    {"broadcast::monitor-file-closed:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { monitorFileMessage("closed", b.payload, b.state); }},
    // Accepted; no further effect.
    {"broadcast::visited:", Match::kTrimmedPrefix, [](const Broadcast&) {}},
    {"broadcast::resoluted:", Match::kTrimmedPrefix, [](const Broadcast&) {}},
    {"broadcast::clear-errors", Match::kTrimmedWhole,
     [](const Broadcast& b) { b.state->errorMessages.clear(); }},
    {"broadcast::error:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { b.state->errorMessages.push_back(b.payload); }},
    {"broadcast::started:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { started(b.payload, b.flags, b.saveMonitors); }},
    {"broadcast::ended:", Match::kTrimmedPrefix,
     [](const Broadcast& b) { ended(b.payload, b.state, b.flags); }},
    {"broadcast::interrupted", Match::kTrimmedWhole,
     [](const Broadcast& b) { b.flags->clear(); }},
};

}  // namespace

void dispatchGrendMessage(const std::string& message, GrendState* state,
                          solvarium::StateFlags* flags, const std::function<void()>& saveMonitors) {
  solvarium::appendText(kTrace, "<<" + message + ">>\n");
  const std::string trimmed(solvarium::trimChars(message, kWhiteSpace));
  std::string payload;
  for (const BroadcastRow& row : kBroadcasts) {
    const std::string& text = row.match == Match::kRawPrefix ? message : trimmed;
    if (row.match == Match::kTrimmedWhole ? text == row.text
                                          : matchPrefix(text, row.text, &payload)) {
      row.handle(Broadcast{payload, state, flags, saveMonitors});
      return;
    }
  }
}

}  // namespace GREND
