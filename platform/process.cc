#include "platform/process.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "platform/descriptor.h"

extern char** environ;

namespace solvarium {
namespace platform {

bool parsePid(const std::string& text, long* pid) {
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str()) return false;
  if (value <= 0 || value > INT_MAX) return false;
  *pid = value;
  return true;
}

bool isProcessAlive(long pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno != EPERM) return false;
  // kill() also succeeds for a zombie: its state is in /proc/<pid>/stat.
  char path[32];
  std::snprintf(path, sizeof path, "/proc/%ld/stat", pid);
  const Descriptor file(::open(path, O_RDONLY | O_CLOEXEC));
  if (!file.ok()) return true;  // no procfs: trust kill()
  char buf[512];
  int error = 0;
  const std::size_t n = file.read(buf, sizeof buf - 1, &error);
  if (n == 0) return true;
  buf[n] = '\0';
  // The state follows the last ')' (the command name may contain one).
  const char* close = std::strrchr(buf, ')');
  if (!close || close[1] != ' ') return true;
  char state = close[2];
  return state != 'Z' && state != 'X' && state != 'x';
}

ProcessWatch::ProcessWatch(long pid) : pid_(pid) {
  if (pid <= 0 || pid > INT_MAX) {
    gone_ = true;
    return;
  }
#ifdef SYS_pidfd_open
  // Close-on-exec by default; readable once the process has ended (a zombie
  // included).
  const long fd = ::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0u);
  if (fd >= 0) {
    pidfd_ = static_cast<int>(fd);
  } else if (errno == ESRCH) {
    gone_ = true;
  }
#endif
}

ProcessWatch::~ProcessWatch() {
  if (pidfd_ >= 0) ::close(pidfd_);
}

bool ProcessWatch::alive() {
  if (gone_) return false;
  if (pidfd_ < 0) return isProcessAlive(pid_);
  pollfd ready = {pidfd_, POLLIN, 0};
  int n;
  do {
    n = ::poll(&ready, 1, 0);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return isProcessAlive(pid_);
  if (n == 0) return true;
  gone_ = true;
  return false;
}

long currentProcessId() { return static_cast<long>(::getpid()); }

bool raiseOpenFileLimit() {
  struct rlimit limit;
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0) return false;
  if (limit.rlim_cur == limit.rlim_max) return true;
  limit.rlim_cur = limit.rlim_max;
  return ::setrlimit(RLIMIT_NOFILE, &limit) == 0;
}

unsigned long openFileLimit() {
  struct rlimit limit;
  return ::getrlimit(RLIMIT_NOFILE, &limit) == 0 ? static_cast<unsigned long>(limit.rlim_cur) : 0;
}

void sleepMilliseconds(long ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

ProgramResult runProgram(const std::vector<std::string>& argv) {
  ProgramResult result;
  if (argv.empty() || argv[0].empty()) {
    result.error = "empty program name";
    return result;
  }
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF);

  pid_t child = 0;
  int rc = ::posix_spawnp(&child, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    result.error = std::string("Cannot start '") + argv[0] + "': " + std::strerror(rc);
    return result;
  }
  result.started = true;
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = std::string("cannot wait for '") + argv[0] + "': " + std::strerror(errno);
      return result;
    }
  }
  if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.error = std::string("'") + argv[0] + "' ended by signal " + std::to_string(WTERMSIG(status));
  }
  return result;
}

std::string pathArgument(const std::string& path) {
  return !path.empty() && path[0] == '-' ? "./" + path : path;
}

}  // namespace platform
}  // namespace solvarium
