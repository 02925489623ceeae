// Processes: the POSIX twins of the Windows process calls the service relies
// on (pids, liveness, getpid, sleep), the programs it starts (each in a
// process group of its own, with its time limit, and ended with the process),
// and the descriptor-limit calls.
#ifndef SOLVARIUM_PLATFORM_PROCESS_H_
#define SOLVARIUM_PLATFORM_PROCESS_H_

#include <atomic>
#include <chrono>
#include <string>
#include <vector>

namespace solvarium {
namespace platform {

// Reads a process id from decimal text the way strtol does: leading blanks,
// an optional sign, digits; whatever follows the digits is ignored ("42\n",
// "42x" and " +42" all give 42). Returns false, leaving `*pid` unchanged,
// when no digits lead, the value does not fit 32 bits, or it is 0 or less.
bool parsePid(const std::string& text, long* pid);

// True while process `pid` exists and is not a zombie. A pid <= 0 is never
// alive (kill(0,0) and kill(-1,0) would succeed, so they are never called).
bool isProcessAlive(long pid);

// Follows one process for repeated checks with isProcessAlive's meaning.
// Holds a pidfd when the kernel offers one, so that a check is one poll()
// and a pid reused by another process is never taken for it; without one, a
// check is isProcessAlive(pid). Once gone, always gone. Owns its descriptor;
// alive() may be called from several threads at once.
class ProcessWatch {
 public:
  explicit ProcessWatch(long pid);
  ~ProcessWatch();
  ProcessWatch(const ProcessWatch&) = delete;
  ProcessWatch& operator=(const ProcessWatch&) = delete;

  bool alive();
  long pid() const { return pid_; }

 private:
  const long pid_;
  int pidfd_ = -1;  // set by the constructor only
  std::atomic<bool> gone_{false};
};

// getpid().
long currentProcessId();

// Raises the soft limit of open descriptors (RLIMIT_NOFILE) to the hard
// limit. False when it cannot be read or set.
bool raiseOpenFileLimit();

// The soft limit of open descriptors; 0 when it cannot be read.
unsigned long openFileLimit();

// Sleeps the calling thread.
void sleepMilliseconds(long ms);

// How long a program that runProgram started may run before its process
// group is killed.
constexpr std::chrono::seconds kProgramTimeLimit{60};

// Result of running a program to its end.
struct ProgramResult {
  bool started = false;     // false: the program could not be started
  bool timedOut = false;    // killed at the time limit
  int exitCode = -1;        // exit status when it ended normally, else -1
  std::string error;        // why it could not be started or how it ended
};

// Starts `argv[0]` (searched on PATH when it has no '/') with exactly the
// given argument vector, no shell, stdin from /dev/null, SIGPIPE and SIGXFSZ
// at their default actions, in a process group of its own, and waits for
// it. Past kProgramTimeLimit the whole group gets SIGKILL and the result
// says it timed out. Once the program has ended, what is left of its group
// is killed before the program is reaped. Once the end of the process has
// begun (end_register.h) nothing is started: the calling thread waits for
// the end.
ProgramResult runProgram(const std::vector<std::string>& argv);

// How many programs that this thread started were ended by the time limit.
unsigned long programsTimedOutOnThisThread();

// Ends the process's programs: every group that runProgram started and that
// still runs gets SIGKILL, and their leaders are awaited for a short while;
// the task kept for the end is given back.
// Bounded in time; for the end of the process, once its end has begun.
void endStartedPrograms();

// Keeps one task of the user's limit on processes and threads
// (RLIMIT_NPROC) from start-up for the programs of the end: a child process
// that blocks every signal and waits for its pipe to close (it also ends
// when this process ends). False, with errno, when it cannot be made.
bool keepTaskForTheEnd();

// Ends and reaps that child, so that the next program finds its task free
// whatever idle threads hold then. Any thread; endStartedPrograms() runs it.
void releaseTaskForTheEnd();

// Replaces kProgramTimeLimit for the programs started from now on. A test
// cannot wait for the 60 s limit, and the limit is no setting of the service.
void TEST_setProgramTimeLimit(std::chrono::milliseconds limit);

// A path as a program argument: "./" + path when it begins with "-", so that
// the program never reads it as one of its options; else the path itself.
std::string pathArgument(const std::string& path);

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_PROCESS_H_
