// A running Solvarium. Output goes to files; the process is killed and reaped
// by the destructor when still running, and by the kernel when the thread
// that started it ends (the test binary aborting included).
#ifndef SOLVARIUM_TESTS_SUPPORT_SERVICE_PROCESS_H_
#define SOLVARIUM_TESTS_SUPPORT_SERVICE_PROCESS_H_

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace solvarium_test {

class ServiceProcess {
 public:
  struct Options {
    std::string program = SOLVARIUM_BINARY;  // file to execute
    std::vector<std::string> argv;           // full vector; argv[0] defaults to program
    Environment env;                         // complete environment
    std::string workDir;                     // working directory
    std::string logDir;                      // receives stdout.txt and stderr.txt
  };
  explicit ServiceProcess(Options options);
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  pid_t pid() const { return pid_; }
  const Options& options() const { return options_; }
  std::string stdoutText() const;
  std::string stderrText() const;
  // True once each named file in the working directory holds a whole IOR
  // ("IOR:" and hex digits, no partial write); false when the process exits
  // first or the timeout passes.
  bool waitForKeyFiles(const std::vector<std::string>& names,
                       milliseconds timeout = milliseconds(20000));
  // Waits until stdout contains `text`.
  bool waitForStdout(const std::string& text, milliseconds timeout);
  // Waits until stderr contains `text` (diagnostics reach it a moment after
  // the call that made them).
  bool waitForStderr(const std::string& text, milliseconds timeout = seconds(5));
  bool running();
  // Exit code (128 + signal when killed by one), or nullopt on timeout.
  std::optional<int> waitForExit(milliseconds timeout);
  void kill();  // SIGKILL and reap

 private:
  bool reap(bool block);
  Options options_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_SERVICE_PROCESS_H_
