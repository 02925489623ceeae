// The report-plot will commands of the Brox interpreter: replaying the will
// for its metadata and saving the report plots with persisted data.

#include "common/confined_file.h"
#include "common/diagnostics.h"
#include "solvers/brox/brox_interpreter.h"
#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_run_status.h"

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

// Keeps the will across the report-plot commands that a save or a metadata
// query replays: those would otherwise rewrite the will the client set.
struct WillKeeper {
  ~WillKeeper() { will = kept; }
  ReportPlotWill& will;
  const ReportPlotWill kept;
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

std::string BroxInterpreter::composedInnerText(const std::string& command) {
  CORBA::String_var answer = run(command.c_str());
  return innerArrayText(answer.in());
}

std::string BroxInterpreter::retrieveWillMetadataCommand(const Call& call) {
  if (call.tokens.size() > 1) {
    raiseScriptError(call.command, "Invalid option[" + call.tokens[1] + "]");
  }
  const WillKeeper keeper{will_, will_};
  std::string first = "aaS.list_report_plots";
  std::string second = "aaS.list_saved_report_plots";
  if (!will_.sessions().empty()) {
    const auto& entry = *will_.sessions().begin();
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

std::string BroxInterpreter::reportPlotsDocument(const std::string& command) {
  const WillKeeper keeper{will_, will_};
  std::string first = kPlotsWithData;
  std::string second = kSavedPlotsWithData;
  std::vector<std::string> sessions;
  if (!will_.sessions().empty()) {
    // Copies: the replayed commands rewrite the will until the keeper
    // puts it back.
    const std::string sessionName = will_.sessions().begin()->first;
    const std::vector<std::string> words = will_.sessions().begin()->second;
    if (!sessionName.empty()) {
      std::string run = sessionName[0] == '.' ? sessionName : "./" + sessionName;
      const std::size_t slash = run.rfind('/');
      if (slash != std::string::npos) run = run.substr(0, slash);
      if (run.size() >= 2) {
        BroxStatusHandle handle;
        loadBroxStatusOrRaise(&handle, monitors_.binDir(), command);
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
  return output + "]\n";
}

std::string BroxInterpreter::saveReportPlotsCommand(const Call& call) {
  const std::string& command = call.command;
  const Tokens& tokens = call.tokens;
  if (tokens.size() == 1) {
    raiseQuestion("JSON persisted monitors filename", "monitor.json");
  }
  if (tokens.size() > 2) raiseScriptError(command, "Invalid command[" + tokens[2] + "]");
  const std::string fileName =
      tokens[1] == "," ? std::string("monitor.json") : removeEnclosingQuotes(tokens[1]);
  // Only a file inside the working directory that may be replaced; checked
  // before the replayed commands run.
  bool written = false;
  const solvarium::FileStatus saved =
      solvarium::saveConfinedFile(fileName, [&] { return reportPlotsDocument(command); }, &written);
  if (!saved.ok()) {
    solvarium::diagnostic("Brox report-plot save: %s\n", saved.message.c_str());
    raiseScriptError(command,
                     written ? "Cannot write output file " : "Cannot open output file name.");
  }
  return "JSON monitors saved in '" + fileName + "'.\n";
}

}  // namespace BROX
