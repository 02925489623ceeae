// Maps a "broadcast::" message of the Brox solver side to the state-flag
// changes it causes. Kept apart from the servant so it can be tested alone.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_

#include <string>
#include <vector>

namespace BROX {

struct StateFlagChange {
  std::string name;
  bool on;
};

// The changes, in the order they are to be applied. "started:" turns the
// payload on (and "prejournaling" off for exactly "journaling"), "ended:"
// turns it off; "visited:", "resoluted:" and anything else change nothing.
// The payload is everything after the prefix, colons included, maybe empty.
std::vector<StateFlagChange> broadcastFlagChanges(const std::string& message);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_
