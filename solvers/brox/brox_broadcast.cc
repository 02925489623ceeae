#include "solvers/brox/brox_broadcast.h"

namespace BROX {

namespace {

bool startsWith(const std::string& text, const char* prefix, std::string* rest) {
  const std::string p(prefix);
  if (text.compare(0, p.size(), p) != 0) return false;
  *rest = text.substr(p.size());
  return true;
}

}  // namespace

std::vector<StateFlagChange> broadcastFlagChanges(const std::string& message) {
  std::vector<StateFlagChange> changes;
  std::string payload;
  if (startsWith(message, "broadcast::visited:", &payload) ||
      startsWith(message, "broadcast::resoluted:", &payload)) {
    return changes;
  }
  if (startsWith(message, "broadcast::started:", &payload)) {
    changes.push_back({payload, true});
    if (payload == "journaling") changes.push_back({"prejournaling", false});
  } else if (startsWith(message, "broadcast::ended:", &payload)) {
    changes.push_back({payload, false});
  }
  return changes;
}

}  // namespace BROX
