// The Talvo "aaS." command interpreter: answers one command text from the
// run state, raising the AAS_CORBA exceptions (EInstantTalvoGenericError for
// failures, EInstantReadUnquotedString and EInstantReadQGenericQuestion for a
// missing value). Also takes the minute tick "aaS_internal.tic_one_minute",
// which saves the monitors to "monitor.json" once the auto-save period has
// passed.
//
// Example: "aaS.get_current_iteration" answers "12"; "aaS.set_auto_save_period_json_monitors"
// alone asks "Auto-Save period in minutes" with the default "60".
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_INTERPRETER_H_

#include <string>

#include "common/state_flags.h"
#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Answers `command`; `flags` gives the status text of "aaS.get_status".
std::string interpretTalvoCommand(const std::string& command, TalvoState* state,
                                  const solvarium::StateFlags& flags);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_INTERPRETER_H_
