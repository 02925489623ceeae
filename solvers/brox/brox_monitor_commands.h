// Helpers of the Brox monitor commands ("aaS.list_monitors",
// "aaS.list_saved_monitors", their "_last_values" and
// "_with_persisted_data" forms). The commands themselves are members of
// BroxMonitors (listMonitors, listMonitorsLastValues,
// persistedDataAnswer, appendPersistedData), defined in
// brox_monitor_commands.cc. Free functions without state.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_COMMANDS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_COMMANDS_H_

#include <string>
#include <vector>

#include "quennet/brox_status.h"
#include "solvers/brox/brox_monitor_csv.h"

namespace BROX {

// Arguments of the persisted-data commands, checked.
struct PersistedDataArguments {
  bool hasSession = false;
  std::string sessionName;           // the last "session-name" value
  std::vector<std::string> options;  // program arguments, one word each
  std::string optionsText = " ";     // the options as the command text shows them
};

// Checks "start-time-step", "end-time-step" (all digits, at least 1),
// "session-name" and "variable-list" (one enclosing pair of double quotes
// removed from their values) from token 1 on. Raises EKorlenInvalidArgument
// for a missing value, an invalid time step, a variable list that begins
// with "-" (a program option) or an unknown argument.
PersistedDataArguments parsePersistedDataArguments(const std::vector<std::string>& tokens,
                                                   const std::string& commandText);

// True when `text` is all decimal digits and its value is at least 1.
bool isPositiveInteger(const std::string& text);

// `text` without one enclosing pair of double quotes, when it has one.
std::string removeEnclosingQuotes(const std::string& text);

// Location of a monitor source ("./case/Config_1.dir" -> "case/Config_1.dir")
// and, when the run record of its parent folder (saved: parent + ".mres") is
// a multi-configuration run listing the source's name without its suffix,
// the run's name and the configuration's index. `results` may be null.
MonitorLocation locateMonitor(const std::string& source, bool saved,
                              const BroxStatusReader::ResultMap* results);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_COMMANDS_H_
