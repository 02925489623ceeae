#include "tests/support/wait_until.h"

#include <thread>

namespace solvarium_test {

bool waitUntil(const std::function<bool()>& cond, milliseconds timeout, milliseconds step) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(step);
  }
  return cond();
}

}  // namespace solvarium_test
