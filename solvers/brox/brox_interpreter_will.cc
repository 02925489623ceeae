// The report-plot will commands of the Brox interpreter: replaying the will
// for its metadata and saving the report plots with persisted data.
#include "AAS_CORBA.hh"
#include "common/confined_path.h"
#include "common/safe_file.h"
#include "solvers/brox/brox_interpreter.h"
#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_servant.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

namespace {

const char* const kPlotsWithData = "aaS.list_report_plots_with_persisted_data";
const char* const kSavedPlotsWithData = "aaS.list_saved_report_plots_with_persisted_data";

// Appends one array element text: "[\n" before the first, "\t,\n" before
// the others. Empty texts are skipped.
void appendItem(const std::string& inner, int* count, std::string* output) {
  if (inner.empty()) return;
  *output += *count == 0 ? "[\n" : "\t,\n";
  *output += inner + "\n";
  ++*count;
}

// Keeps the will, and the will fields of the last report-plot command,
// across the report-plot commands that a save or a metadata query replays:
// those would otherwise rewrite the will the client set.
class WillKeeper {
 public:
  explicit WillKeeper(CBROXSolvarium* servant)
      : servant_(servant),
        will_(servant->will),
        plotList_(servant->monitors->willPlotList),
        variableList_(servant->monitors->willVariableList),
        sessionName_(servant->monitors->willSessionName) {}
  ~WillKeeper() {
    servant_->will.swap(will_);
    servant_->monitors->willPlotList.swap(plotList_);
    servant_->monitors->willVariableList.swap(variableList_);
    servant_->monitors->willSessionName.swap(sessionName_);
  }
  WillKeeper(const WillKeeper&) = delete;
  WillKeeper& operator=(const WillKeeper&) = delete;

 private:
  CBROXSolvarium* servant_;
  Will will_;
  std::string plotList_, variableList_, sessionName_;
};

}  // namespace

std::string innerArrayText(const std::string& answer) {
  const std::size_t open = answer.find('[');
  const std::size_t close = answer.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close <= open) {
    return std::string();
  }
  std::string inner = answer.substr(open + 1, close - open - 1);
  if (inner.find('{') == std::string::npos) return std::string();
  return inner;
}

std::string CBROXSolvarium::composedInnerText(const std::string& command) {
  CORBA::String_var answer = runCommand(command.c_str());
  return innerArrayText(answer.in());
}

std::string CBROXSolvarium::retrieveWillMetadataCommand(const std::string& command,
                                                        const std::vector<std::string>& tokens) {
  if (tokens.size() > 1) raiseScriptError(command, "Invalid option[" + tokens[1] + "]");
  const WillKeeper keeper(this);
  std::string first = "aaS.list_report_plots";
  std::string second = "aaS.list_saved_report_plots";
  if (!will.empty()) {
    const auto& entry = *will.begin();
    std::string suffix;
    if (!entry.first.empty()) suffix = " session-name " + entry.first;
    for (const std::string& word : entry.second) suffix += " " + word;
    first = kPlotsWithData + suffix;
    second = kSavedPlotsWithData + suffix;
  }
  const std::string a = composedInnerText(first);
  const std::string b = composedInnerText(second);
  if (a.empty() && b.empty()) return "[\n]\n";
  if (b.empty()) return "[\n" + a + "\n]\n";
  if (a.empty()) return "[\n" + b + "\n]\n";
  return "[\n" + a + "\n,\n" + b + "\n]\n";
}

std::string CBROXSolvarium::saveReportPlotsCommand(const std::string& command,
                                                   const std::vector<std::string>& tokens) {
  if (tokens.size() == 1) {
    raiseQuestion("JSON persisted monitors filename", "monitor.json");
  }
  if (tokens.size() > 2) raiseScriptError(command, "Invalid command[" + tokens[2] + "]");
  const std::string fileName =
      tokens[1] == "," ? std::string("monitor.json") : removeEnclosingQuotes(tokens[1]);
  // Only files that resolve inside the working directory (links followed),
  // in a folder we may write; an existing file must be a regular file we
  // may write. A link named as the file stays; the file it leads to is
  // replaced.
  std::string target;
  if (solvarium::resolveInWorkingDirectory(fileName, &target) != solvarium::PathResolution::kOk ||
      !solvarium::isReplaceableFile(target)) {
    raiseScriptError(command, "Cannot open output file name.");
  }

  const WillKeeper keeper(this);
  std::string first = kPlotsWithData;
  std::string second = kSavedPlotsWithData;
  std::vector<std::string> sessions;
  if (!will.empty()) {
    // Copies: the replayed commands rewrite the will until the keeper
    // puts it back.
    const std::string sessionName = will.begin()->first;
    const std::vector<std::string> words = will.begin()->second;
    if (!sessionName.empty()) {
      std::string run = sessionName[0] == '.' ? sessionName : "./" + sessionName;
      const std::size_t slash = run.rfind('/');
      if (slash != std::string::npos) run = run.substr(0, slash);
      if (run.size() >= 2) {
        BroxStatusHandle handle;
        loadBroxStatusOrRaise(&handle, command);
        const BroxStatusReader::ResultMap& results = handle.reader->results;
        auto found = results.find(run);
        if (found == results.end()) found = results.find(run + ".mres");
        if (found != results.end()) {
          for (const auto& configuration : found->second.configurations) {
            sessions.push_back(run + "/" + configuration.first);
          }
        }
      }
      if (sessions.empty()) sessions.push_back(sessionName);
    }
    for (const std::string& word : words) {
      first += " " + word;
      second += " " + word;
    }
  }

  std::string output;
  int count = 0;
  if (sessions.empty()) {
    appendItem(composedInnerText(first), &count, &output);
    appendItem(composedInnerText(second), &count, &output);
  } else {
    for (const std::string& session : sessions) {
      appendItem(composedInnerText(first + " session-name " + session), &count, &output);
      appendItem(composedInnerText(second + " session-name " + session), &count, &output);
    }
  }
  if (count == 0) output = "[\n";
  output += "]\n";

  // The previous file stays whole unless the new one is completely written.
  if (!solvarium::writeFileAtomically(target, output, nullptr)) {
    raiseScriptError(command, "Cannot write output file ");
  }
  return "JSON monitors saved in '" + fileName + "'.\n";
}

}  // namespace BROX
