#include "service/solver_process_hold.h"

#include <mutex>

namespace solvarium {

namespace {

std::mutex holdMutex;
std::shared_ptr<platform::ProcessWatch> heldProcess;  // guarded by holdMutex

}  // namespace

std::shared_ptr<platform::ProcessWatch> holdSolverProcess(long pid) {
  const std::lock_guard<std::mutex> lock(holdMutex);
  if (!heldProcess || heldProcess->pid() != pid) {
    heldProcess = std::make_shared<platform::ProcessWatch>(pid);
  }
  return heldProcess;
}

}  // namespace solvarium
