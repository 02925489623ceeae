// The Talvo monitor listings: the persisted-data options of a command
// (start-flow-time, start-iteration, start-time-step), "aaS.list_monitors"
// and "aaS.list_monitors_with_persisted_data", and the JSON of the run's one
// residual monitor, "convergence-residuals".
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_MONITORS_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_MONITORS_H_

#include <string>
#include <vector>

#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Records the run's current iteration as the filter's iteration text.
void captureRunPosition(TalvoState* state);

// Resets the filter, takes the options and their values out of `tokens` and
// sets the filter from them. A missing value raises EInstantReadQGenericQuestion;
// a value that is not a whole non-negative number raises EInstantTalvoGenericError.
std::vector<std::string> readFilteredMonitorData(MonitorFilter* filter,
                                                 const std::vector<std::string>& tokens);

// Appends the monitor list of the command `tokens` to `output`. Raises
// "Invalid aaS.list_monitors command." for other shapes, and the option
// and residual-name errors.
void listTalvoMonitors(TalvoState* state, std::string* output,
                       const std::vector<std::string>& tokens);

// Appends the residual monitor (nothing when `names` is empty); an empty
// `residualName` selects every residual. Raises EInstantTalvoGenericError
// for a residual name that is not in `names`.
void writeResidualMonitorJson(const TalvoState& state, std::string* output,
                              const std::vector<std::string>& names,
                              const std::string& residualName, bool persisted);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_MONITORS_H_
