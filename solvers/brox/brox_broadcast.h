// Applies a "broadcast::" message of the Brox solver side to the state flags.
// Kept apart from the servant so it can be tested alone.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_

#include <string>

#include "common/state_flags.h"

namespace BROX {

// "started:" turns the payload on (and "prejournaling" off for exactly
// "journaling"), "ended:" turns it off; "visited:", "resoluted:" and
// anything else change nothing. The payload is everything after the prefix,
// colons included, maybe empty.
void applyBroxBroadcast(const std::string& message, solvarium::StateFlags* flags);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_BROADCAST_H_
