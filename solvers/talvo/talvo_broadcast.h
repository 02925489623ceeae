// The Talvo broadcast dispatcher: turns one message of the solver side
// ("broadcast::..." or an error message) into state. Messages that match no
// rule are kept as error messages. Never throws for any message text.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_

#include <string>

#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// The state-flag map the dispatcher writes (the scripting servant's map in
// the service, a plain map in tests).
class StateFlags {
 public:
  virtual ~StateFlags() = default;
  virtual void set(const std::string& name, bool on) = 0;
  virtual bool get(const std::string& name) const = 0;  // false when absent
  virtual bool has(const std::string& name) const = 0;  // present, on or off
  virtual void clear() = 0;
  // Names that are on, in byte order, each followed by "\n".
  virtual std::string text() const = 0;
};

// Trace files of the working directory, appended per message.
extern const char kTranscriptFile[];  // "instant_transcript.txt"
extern const char kDebugFile[];       // "broadcast.visited.debug.txt"

// Applies `message` to `state` and `flags`; may append to the trace files.
void dispatchTalvoMessage(const std::string& message, TalvoState* state, StateFlags* flags);

// The decoding rules of single payloads, exposed for tests.
void applyResidualBlock(const std::string& payload, TalvoState* state);
void applySolverVariable(const std::string& payload, TalvoState* state);
void applyZoneList(const std::string& payload, TalvoState* state);
void applySurfaceList(const std::string& payload, TalvoState* state);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_BROADCAST_H_
