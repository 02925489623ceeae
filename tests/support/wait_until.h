// Polling with a deadline, and the time units the tests use.
#ifndef SOLVARIUM_TESTS_SUPPORT_WAIT_UNTIL_H_
#define SOLVARIUM_TESTS_SUPPORT_WAIT_UNTIL_H_

#include <chrono>
#include <functional>

namespace solvarium_test {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Polls cond every `step` until it holds or `timeout` passes; returns cond().
bool waitUntil(const std::function<bool()>& cond, milliseconds timeout,
               milliseconds step = milliseconds(20));

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_WAIT_UNTIL_H_
