// Helpers of the Talvo unit tests: the run state and state flags built from
// broadcasts.
#ifndef SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_
#define SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_

#include <initializer_list>
#include <string>

#include "solvers/talvo/talvo_broadcast.h"
#include "solvers/talvo/talvo_state.h"

namespace talvo_test {

// State and flags fed with messages.
struct TalvoRun {
  TALVO::TalvoState state;
  solvarium::StateFlags flags;
  TalvoRun& send(std::initializer_list<std::string> messages) {
    for (const std::string& message : messages) TALVO::dispatchTalvoMessage(message, &state, &flags);
    return *this;
  }
};

}  // namespace talvo_test

#endif  // SOLVARIUM_TESTS_UNIT_TALVO_TEST_UTIL_H_
