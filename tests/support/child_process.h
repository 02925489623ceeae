// Child processes of the tests: started with an argument vector and an
// explicit environment (no shell), output to files, each one killed by the
// kernel when the thread that started it ends, so that nothing outlives a
// test binary that aborts.
#ifndef SOLVARIUM_TESTS_SUPPORT_CHILD_PROCESS_H_
#define SOLVARIUM_TESTS_SUPPORT_CHILD_PROCESS_H_

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "tests/support/wait_until.h"

namespace solvarium_test {

// Environment of a child process: name -> value. Only what is listed is passed.
using Environment = std::map<std::string, std::string>;

struct ProcessResult {
  int exitCode = -1;        // exit status, or 128 + signal
  bool timedOut = false;    // killed after the timeout
  std::string out;          // stdout
  std::string err;          // stderr
};

// Starts `program` with argv (argv[0] included), env and working directory
// cwd ("" keeps the test's); stdin is /dev/null, stdout and stderr go to the
// given files. The child gets SIGKILL when the calling thread ends
// (PR_SET_PDEATHSIG): start long-lived processes from the test's main thread.
// Throws std::runtime_error with the cause when the program cannot be started.
pid_t spawnProcess(const std::string& program, std::vector<std::string> argv,
                   const Environment& env, const std::string& cwd, const std::string& outPath,
                   const std::string& errPath);

// Exit code of a wait status: the exit status, 128 + signal, or -1.
int exitCodeOf(int status);

// Runs a program with an argument vector (argv[0] included), an explicit
// environment and a working directory; no shell. Bounded by `timeout`.
// Standard output goes to `stdoutPath` when given (`out` stays empty).
ProcessResult runProgram(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& cwd, milliseconds timeout = milliseconds(60000),
                         const std::string& stdoutPath = "");

// Options of the sanitizer runtimes in a child: the test process's own, else
// defaults that read the suppression files of the tree.
void addSanitizerOptions(Environment& env);

// The report that a sanitizer (AddressSanitizer, LeakSanitizer,
// UndefinedBehaviorSanitizer, ThreadSanitizer) printed into a child's stderr,
// from its first line on; "" when there is none.
std::string sanitizerReport(const std::string& stderrText);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_CHILD_PROCESS_H_
