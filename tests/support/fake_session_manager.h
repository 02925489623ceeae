// Fake session manager: listens on 127.0.0.1:<ephemeral>, accepts one
// connection and records every byte received on it. A background thread does
// the work until destruction; the accessors may be called from any thread.
#ifndef SOLVARIUM_TESTS_SUPPORT_FAKE_SESSION_MANAGER_H_
#define SOLVARIUM_TESTS_SUPPORT_FAKE_SESSION_MANAGER_H_

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/wait_until.h"

namespace solvarium_test {

class FakeSessionManager {
 public:
  FakeSessionManager();
  ~FakeSessionManager();
  FakeSessionManager(const FakeSessionManager&) = delete;
  FakeSessionManager& operator=(const FakeSessionManager&) = delete;
  int port() const { return port_; }
  std::string address() const;  // "127.0.0.1:<port>", the variable's value
  bool accepted() const { return accepted_; }
  bool connectionOpen() const { return accepted_ && !peerClosed_; }  // peer has not closed
  std::string received() const;
  // Waits until at least `count` bytes have arrived.
  bool waitForBytes(size_t count, milliseconds timeout) const;

 private:
  void run();
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> accepted_{false};
  std::atomic<bool> peerClosed_{false};
  mutable std::mutex mutex_;
  std::string bytes_;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_FAKE_SESSION_MANAGER_H_
