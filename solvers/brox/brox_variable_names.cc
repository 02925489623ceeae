#include "solvers/brox/brox_variable_names.h"

#include <map>
#include <vector>

#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_report_plots.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_storage_commands.h"
#include "solvers/brox/brox_variable_metadata_handler.h"

namespace BROX {

std::string runExtension(const std::string& runPath) {
  return runPath.size() >= 4 ? runPath.substr(runPath.size() - 4) : runPath;
}

bool runMatchesSession(const std::string& runPath, const std::string& sessionName,
                       const std::string& requiredExtension) {
  if (sessionName.empty()) return true;
  const std::string extension =
      requiredExtension.empty() ? runExtension(runPath) : requiredExtension;
  return withoutDotSlash(runPath) == withoutDotSlash(sessionName) + extension;
}

void BroxMonitors::listVariableNames(std::string& result, const Tokens& tokens,
                                     const std::string& commandText) {
  BroxStatusHandle status;  // released on every way out
  loadBroxStatusOrRaise(&status, binDir_, commandText);

  const std::string command = tokens.empty() ? std::string() : tokens[0];
  const bool active = command == "aaS.list_active_variable_names";
  const bool saved = command == "aaS.list_saved_variable_names";
  if (!active && !saved && command != "aaS.list_all_variable_names") {
    raiseScriptError(command, "command [" + command + "] is not implemented");
  }
  // One option, at most once.
  if (tokens.size() != 1 && (tokens.size() != 3 || tokens[1] != "session-name")) {
    raiseScriptError(commandText, "command [" + commandText + "] has invalid parameters");
  }
  const std::string sessionName = tokens.size() == 3 ? removeEnclosingQuotes(tokens[2]) : "";

  std::vector<std::string> runs;
  if (!saved) runs = runPaths(false);
  if (!active) {
    const std::vector<std::string> savedRuns = runPaths(true);
    runs.insert(runs.end(), savedRuns.begin(), savedRuns.end());
  }
  const std::string requiredExtension = active ? ".dir" : saved ? ".res" : "";

  std::map<std::string, std::string> variables;  // run path -> its JSON array
  for (const std::string& run : runs) {
    if (!runMatchesSession(run, sessionName, requiredExtension)) continue;
    const std::string output = runMonitorData(" -varinfo ", run, runExtension(run));
    CXmlToJsonVariableMetaDataHandler handler;
    parseRunOutput(output, handler, run, commandText);
    variables[run] = handler.jsonText;
  }

  result = runMetadataArray(variables, nullptr, status.reader->results);
}

}  // namespace BROX
