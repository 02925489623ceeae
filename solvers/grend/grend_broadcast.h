// The Grend broadcast dispatcher: turns one message of the solver side
// ("broadcast::...") into state and state flags, and traces each message to
// "grend_broadcasts.txt". Messages that match no rule change nothing.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_BROADCAST_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_BROADCAST_H_

#include <functional>
#include <string>

#include "common/state_flags.h"
#include "solvers/grend/grend_state.h"

namespace GREND {

// Applies `message` to `state` and `flags` (the kind's state flags).
// Raises EKorlenUnknown (code 1, also appended to
// "instant_aas_error.txt") for a monitor-file message that contradicts the
// tables. "started:solver-shutdown" runs `saveMonitors` (the save to
// "monitor.json") first; an EKorlenUnknown it raises is appended to that
// file, not raised.
void dispatchGrendMessage(const std::string& message, GrendState* state,
                          solvarium::StateFlags* flags, const std::function<void()>& saveMonitors);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_BROADCAST_H_
