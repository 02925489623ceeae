// Helpers of the Talvo unit tests: a plain state-flag map for the
// dispatcher, and the run state built from broadcasts.
#ifndef SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_
#define SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_

#include <initializer_list>
#include <map>
#include <string>

#include "solvers/talvo/talvo_broadcast.h"
#include "solvers/talvo/talvo_state.h"

namespace talvo_test {

class MapFlags : public TALVO::StateFlags {
 public:
  void set(const std::string& name, bool on) override { map[name] = on; }
  bool get(const std::string& name) const override {
    auto it = map.find(name);
    return it != map.end() && it->second;
  }
  bool has(const std::string& name) const override { return map.count(name) != 0; }
  void clear() override { map.clear(); }
  std::string text() const override { return TALVO::namesOn(map); }
  std::map<std::string, bool> map;
};

// State and flags fed with messages.
struct TalvoRun {
  TALVO::TalvoState state;
  MapFlags flags;
  TalvoRun& send(std::initializer_list<std::string> messages) {
    for (const std::string& message : messages) TALVO::dispatchTalvoMessage(message, &state, &flags);
    return *this;
  }
};

}  // namespace talvo_test

#endif  // SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_
