#include "tests/support/stand_in_solver.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>

#include "tests/support/child_process.h"

namespace solvarium_test {

StandInSolver::StandInSolver() {
  pid_ =
      spawnProcess("/bin/sleep", {"sleep", "3600"}, Environment{}, "/", "/dev/null", "/dev/null");
}

StandInSolver::~StandInSolver() { kill(); }

void StandInSolver::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

}  // namespace solvarium_test
