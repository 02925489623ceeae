// StateFlags: a solver unit's state names ("solve", "journaling", "error"),
// each on or off, as the kinds' broadcast dispatchers and liveness checks
// write them and "aaS.get_status" reads them. A name set off stays present.
// Plain data: its owner serialises access.
#ifndef SOLVARIUM_COMMON_STATE_FLAGS_H_
#define SOLVARIUM_COMMON_STATE_FLAGS_H_

#include <map>
#include <string>

namespace solvarium {

// Names of `flags` that are on, in key order, each followed by "\n".
inline std::string namesOn(const std::map<std::string, bool>& flags) {
  std::string text;
  for (const auto& entry : flags) {
    if (entry.second) text += entry.first + "\n";
  }
  return text;
}

struct StateFlags {
  void set(const std::string& name, bool on) { map[name] = on; }
  bool get(const std::string& name) const {  // false when absent
    auto it = map.find(name);
    return it != map.end() && it->second;
  }
  bool has(const std::string& name) const { return map.count(name) != 0; }  // on or off
  void clear() { map.clear(); }
  std::string text() const { return namesOn(map); }  // "" when none is on

  std::map<std::string, bool> map;  // in byte-wise name order
};

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_STATE_FLAGS_H_
