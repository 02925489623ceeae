// Stand-in solver: a child process that sleeps until killed; its pid goes
// into KORLEN_BROXSOLVE_PID. kill() ends and reaps it (it is then gone, not a
// zombie). Like every process the harness starts, it is killed when the
// thread that started it ends.
#ifndef SOLVARIUM_TESTS_SUPPORT_STAND_IN_SOLVER_H_
#define SOLVARIUM_TESTS_SUPPORT_STAND_IN_SOLVER_H_

#include <sys/types.h>

#include <string>

namespace solvarium_test {

class StandInSolver {
 public:
  StandInSolver();
  ~StandInSolver();
  StandInSolver(const StandInSolver&) = delete;
  StandInSolver& operator=(const StandInSolver&) = delete;
  pid_t pid() const { return pid_; }
  std::string pidText() const { return std::to_string(pid_); }
  bool alive() const { return pid_ > 0; }
  void kill();

 private:
  pid_t pid_ = -1;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_STAND_IN_SOLVER_H_
