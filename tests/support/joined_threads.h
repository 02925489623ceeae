// The threads of one test, joined when the group goes out of scope: a test
// that fails an ASSERT or throws while one of its threads runs then fails
// alone, instead of ending the test binary with a joinable std::thread.
// The stop action (when given) runs before the join, so that threads that
// loop until told to stop end.
//
//   std::atomic<bool> stop{false};
//   JoinedThreads threads([&] { stop = true; });
//   threads.start([&] { while (!stop) work(); });
#ifndef SOLVARIUM_TESTS_SUPPORT_JOINED_THREADS_H_
#define SOLVARIUM_TESTS_SUPPORT_JOINED_THREADS_H_

#include <functional>
#include <thread>
#include <utility>
#include <vector>

namespace solvarium_test {

class JoinedThreads {
 public:
  explicit JoinedThreads(std::function<void()> stop = nullptr) : stop_(std::move(stop)) {}
  ~JoinedThreads() { join(); }
  JoinedThreads(const JoinedThreads&) = delete;
  JoinedThreads& operator=(const JoinedThreads&) = delete;

  template <typename Body>
  void start(Body&& body) {
    threads_.emplace_back(std::forward<Body>(body));
  }
  // Runs the stop action, then joins every thread; again later does nothing.
  void join() {
    if (stop_) stop_();
    for (std::thread& thread : threads_) {
      if (thread.joinable()) thread.join();
    }
  }

 private:
  std::function<void()> stop_;
  std::vector<std::thread> threads_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_JOINED_THREADS_H_
