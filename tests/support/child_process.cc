#include "tests/support/child_process.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace solvarium_test {
namespace {

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::vector<char*> cStrings(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& t : texts) out.push_back(&t[0]);
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> envStrings(const Environment& env) {
  std::vector<std::string> out;
  for (const auto& kv : env) out.push_back(kv.first + "=" + kv.second);
  return out;
}

// Blocks up to `timeout` for pid; kills it after that. Returns the exit code.
int waitBounded(pid_t pid, milliseconds timeout, bool* timedOut) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return exitCodeOf(status);
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (timedOut) *timedOut = true;
      return exitCodeOf(status);
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

}  // namespace

pid_t spawnProcess(const std::string& program, std::vector<std::string> argv,
                   const Environment& env, const std::string& cwd, const std::string& outPath,
                   const std::string& errPath) {
  // Only async-signal-safe calls run between fork and exec; a failed exec
  // reports its errno through a pipe.
  std::vector<std::string> envText = envStrings(env);
  std::vector<char*> cargv = cStrings(argv);
  std::vector<char*> cenv = cStrings(envText);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t parent = getpid();
  // No signal handler runs in the child before its dispositions are reset.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t pid = fork();
  if (pid == 0) {
    auto fail = [&] {
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    };
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail();
    if (getppid() != parent) _exit(127);  // the parent has already gone
    const std::pair<int, const char*> files[] = {{0, "/dev/null"}, {1, outPath.c_str()},
                                                 {2, errPath.c_str()}};
    for (const auto& file : files) {
      const int flags = file.first == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
      const int fd = open(file.second, flags, 0644);
      if (fd < 0 || dup2(fd, file.first) < 0) fail();
      if (fd != file.first) close(fd);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) fail();
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), cargv.data(), cenv.data());
    fail();
  }
  const int forkError = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(forkError));
  }
  int error = 0;
  ssize_t got;
  while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got > 0) {
    waitpid(pid, nullptr, 0);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
  }
  return pid;
}

int exitCodeOf(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

void addSanitizerOptions(Environment& env) {
  const std::string suppressions = std::string(SOLVARIUM_SOURCE_DIR) + "/tests/sanitizers/";
  env["ASAN_OPTIONS"] = envOr("ASAN_OPTIONS", "detect_leaks=1");
  env["LSAN_OPTIONS"] = envOr("LSAN_OPTIONS", "suppressions=" + suppressions + "lsan.supp");
  env["UBSAN_OPTIONS"] = envOr("UBSAN_OPTIONS", "print_stacktrace=1");
  env["TSAN_OPTIONS"] = envOr("TSAN_OPTIONS", "suppressions=" + suppressions + "tsan.supp");
}

std::string sanitizerReport(const std::string& stderrText) {
  static const char* const kMarkers[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                         "runtime error:", "WARNING: ThreadSanitizer"};
  size_t first = std::string::npos;
  for (const char* marker : kMarkers) first = std::min(first, stderrText.find(marker));
  if (first == std::string::npos) return std::string();
  const size_t lineStart = stderrText.rfind('\n', first);
  return stderrText.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
}

ProcessResult runProgram(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& cwd, milliseconds timeout,
                         const std::string& stdoutPath) {
  TempDir out("solvarium-run");
  if (!out.ok()) throw std::runtime_error(out.error());
  ProcessResult result;
  pid_t pid = spawnProcess(argv.at(0), argv, env, cwd,
                           stdoutPath.empty() ? out.file("out") : stdoutPath, out.file("err"));
  result.exitCode = waitBounded(pid, timeout, &result.timedOut);
  result.out = readFile(out.file("out"));
  result.err = readFile(out.file("err"));
  return result;
}

}  // namespace solvarium_test
