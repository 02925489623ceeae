// The Grend "aaS." command interpreter over the kind's state: getters of what
// the solver side announced, the monitor listing and its save to
// "monitor.json", the minute tick and the auto-save period. Every failure is
// the kind's one error exception.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_

#include <string>

#include "common/state_flags.h"
#include "solvers/grend/grend_state.h"

namespace GREND {

// Answers `command`; `flags` answers "aaS.get_status". Raises grendError()
// for every failure of the command; a C++ failure passes on.
std::string interpretGrendCommand(const std::string& command, GrendState* state,
                                  const solvarium::StateFlags& flags);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_INTERPRETER_H_
