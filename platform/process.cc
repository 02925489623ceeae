#include "platform/process.h"

#include <algorithm>
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
#include <mutex>
#include <thread>
#include <unistd.h>

#include "platform/descriptor.h"
#include "platform/end_register.h"

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

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<long> programTimeLimitMs{
    std::chrono::duration_cast<std::chrono::milliseconds>(kProgramTimeLimit).count()};

// The process groups of the running programs: 0 marks a free slot, kKilling
// one whose group endStartedPrograms() is signalling. A slot is freed before
// its leader is reaped, so that the group id is never signalled once the
// kernel may reuse it.
constexpr int kGroupSlots = 64;
constexpr int kKilling = -1;
std::atomic<int> runningGroups[kGroupSlots];

thread_local unsigned long timedOutOnThisThread = 0;

// The child that keepTaskForTheEnd() made, and its pipe's write end.
std::mutex keptTaskMutex;
pid_t keptTask = 0;     // guarded by keptTaskMutex
int keptTaskPipe = -1;  // guarded by keptTaskMutex

// The slot taken, or -1 when all are taken (the group is then not listed).
int addGroup(pid_t group) {
  for (int slot = 0; slot < kGroupSlots; ++slot) {
    int free = 0;
    if (runningGroups[slot].compare_exchange_strong(free, group)) return slot;
  }
  return -1;
}

void removeGroup(int slot, pid_t group) {
  if (slot < 0) return;
  int expected = group;
  while (!runningGroups[slot].compare_exchange_weak(expected, 0)) {
    expected = group;
    std::this_thread::yield();  // endStartedPrograms() is signalling it
  }
}

// Waits until `child` has ended, without reaping it; false at `deadline`.
// An error of waitid counts as ended: waitpid then reports it.
bool awaitEnd(pid_t child, int pidfd, Clock::time_point deadline) {
  for (;;) {
    siginfo_t info;
    info.si_pid = 0;
    const int rc = ::waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOHANG | WNOWAIT);
    if ((rc == 0 && info.si_pid == child) || (rc != 0 && errno != EINTR)) return true;
    using std::chrono::milliseconds;
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    // Without a pidfd, look again every 10 ms.
    const int wait = static_cast<int>(std::min<long long>(left.count(), pidfd >= 0 ? 1000 : 10));
    if (pidfd >= 0) {
      pollfd ended = {pidfd, POLLIN, 0};
      ::poll(&ended, 1, wait);
    } else {
      sleepMilliseconds(wait);
    }
  }
}

std::string limitText(long ms) {
  return ms % 1000 == 0 ? std::to_string(ms / 1000) + " s" : std::to_string(ms) + " ms";
}

}  // namespace

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
  sigaddset(&defaults, SIGXFSZ);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  posix_spawnattr_setpgroup(&attr, 0);  // a group of its own, led by the program
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETPGROUP);

  const long limitMs = programTimeLimitMs.load();
  pid_t child = 0;
  int rc = ECANCELED;  // the process is ending
  int slot = -1;
  {
    const Making making;  // the group is listed before the end can look
    if (!making.allowed()) waitForTheEnd();
    if (making.allowed()) {
      rc = ::posix_spawnp(&child, args[0], &actions, &attr, args.data(), environ);
    }
    if (rc == 0) slot = addGroup(child);
  }
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    result.error = std::string("Cannot start '") + argv[0] + "': " + std::strerror(rc);
    return result;
  }
  result.started = true;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  long pidfd = -1;
#ifdef SYS_pidfd_open
  pidfd = ::syscall(SYS_pidfd_open, child, 0u);
#endif
  if (!awaitEnd(child, static_cast<int>(pidfd), deadline)) {
    ::kill(-child, SIGKILL);
    result.timedOut = true;
    ++timedOutOnThisThread;
    awaitEnd(child, static_cast<int>(pidfd), Clock::time_point::max());
  }
  if (pidfd >= 0) ::close(static_cast<int>(pidfd));
  // What the program left in its group goes with it; the leader, not yet
  // reaped, keeps the group id from being reused meanwhile.
  ::kill(-child, SIGKILL);
  removeGroup(slot, child);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) {
      result.error = std::string("cannot wait for '") + argv[0] + "': " + std::strerror(errno);
      return result;
    }
  }
  if (result.timedOut) {
    result.error = std::string("'") + argv[0] + "' stopped after " + limitText(limitMs);
  } else if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    result.error =
        std::string("'") + argv[0] + "' ended by signal " + std::to_string(WTERMSIG(status));
  }
  return result;
}

unsigned long programsTimedOutOnThisThread() { return timedOutOnThisThread; }

void endStartedPrograms() {
  pid_t killed[kGroupSlots];
  int count = 0;
  for (std::atomic<int>& slot : runningGroups) {
    int group = slot.load();
    if (group <= 0 || !slot.compare_exchange_strong(group, kKilling)) continue;
    ::kill(-group, SIGKILL);
    killed[count++] = group;
    slot.store(group);
  }
  // The leaders end at once; their folders can go once nothing writes there.
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(500);
  for (int i = 0; i < count; ++i) awaitEnd(killed[i], -1, deadline);
  releaseTaskForTheEnd();
}

bool keepTaskForTheEnd() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  // Signals stay blocked in the child: a handler of this process must not
  // run there.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[1]);
    char byte;
    while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
    }
    ::_exit(0);
  }
  const int error = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  ::close(fds[0]);
  if (child < 0) {
    ::close(fds[1]);
    errno = error;
    return false;
  }
  const std::lock_guard<std::mutex> lock(keptTaskMutex);
  keptTask = child;
  keptTaskPipe = fds[1];
  return true;
}

void releaseTaskForTheEnd() {
  const std::lock_guard<std::mutex> lock(keptTaskMutex);
  if (keptTask <= 0) return;
  ::close(keptTaskPipe);
  while (::waitpid(keptTask, nullptr, 0) < 0 && errno == EINTR) {
  }
  keptTask = 0;
}

void TEST_setProgramTimeLimit(std::chrono::milliseconds limit) {
  programTimeLimitMs.store(static_cast<long>(limit.count()));
}

std::string pathArgument(const std::string& path) {
  return !path.empty() && path[0] == '-' ? "./" + path : path;
}

}  // namespace platform
}  // namespace solvarium
