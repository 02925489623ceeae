#include "tests/support/service_process.h"

#include <signal.h>
#include <sys/wait.h>

#include <cerrno>
#include <utility>

#include "tests/support/files.h"
#include "tests/support/ior.h"

namespace solvarium_test {

ServiceProcess::ServiceProcess(Options options) : options_(std::move(options)) {
  if (options_.argv.empty()) options_.argv.push_back(options_.program);
  pid_ = spawnProcess(options_.program, options_.argv, options_.env, options_.workDir,
                      options_.logDir + "/stdout.txt", options_.logDir + "/stderr.txt");
}

ServiceProcess::~ServiceProcess() { kill(); }

std::string ServiceProcess::stdoutText() const { return readFile(options_.logDir + "/stdout.txt"); }
std::string ServiceProcess::stderrText() const { return readFile(options_.logDir + "/stderr.txt"); }

bool ServiceProcess::reap(bool block) {
  if (exitCode_) return true;
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    exitCode_ = exitCodeOf(status);
    return true;
  }
  return false;
}

bool ServiceProcess::running() { return !reap(false); }

std::optional<int> ServiceProcess::waitForExit(milliseconds timeout) {
  waitUntil([&] { return reap(false); }, timeout, milliseconds(10));
  return exitCode_;
}

void ServiceProcess::kill() {
  if (pid_ > 0 && !exitCode_) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
}

bool ServiceProcess::waitForKeyFiles(const std::vector<std::string>& names, milliseconds timeout) {
  auto complete = [&] {
    for (const std::string& n : names)
      if (!isCompleteIor(readFile(options_.workDir + "/" + n))) return false;
    return true;
  };
  bool exited = false;
  bool ok = waitUntil(
      [&] {
        if (complete()) return true;
        exited = !running();
        return exited;
      },
      timeout);
  return ok && complete();
}

bool ServiceProcess::waitForStdout(const std::string& text, milliseconds timeout) {
  return waitUntil([&] { return stdoutText().find(text) != std::string::npos; }, timeout);
}

bool ServiceProcess::waitForStderr(const std::string& text, milliseconds timeout) {
  return waitUntil([&] { return stderrText().find(text) != std::string::npos; }, timeout);
}

}  // namespace solvarium_test
