// The Talvo broadcast dispatcher: turns one message of the solver side
// ("broadcast::..." or an error message) into state. Messages that match no
// rule are kept as error messages. Never throws for any message text.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_

#include <string>

#include "common/state_flags.h"
#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Trace files of the working directory, appended per message.
extern const char kTranscriptFile[];  // "instant_transcript.txt"
extern const char kDebugFile[];       // "broadcast.visited.debug.txt"

// Applies `message` to `state` and `flags` (the kind's state
// flags); may append to the trace files.
void dispatchTalvoMessage(const std::string& message, TalvoState* state,
                          solvarium::StateFlags* flags);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_
