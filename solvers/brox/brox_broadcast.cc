#include "solvers/brox/brox_broadcast.h"

#include "common/text_words.h"

namespace BROX {

void applyBroxBroadcast(const std::string& message, solvarium::StateFlags* flags) {
  std::string payload;
  if (solvarium::matchPrefix(message, "broadcast::started:", &payload)) {
    flags->set(payload, true);
    if (payload == "journaling") flags->set("prejournaling", false);
  } else if (solvarium::matchPrefix(message, "broadcast::ended:", &payload)) {
    flags->set(payload, false);
  }
}

}  // namespace BROX
