#include "service/stop_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <exception>

#include "common/diagnostics.h"
#include "service/process_exit.h"
#include "service/watcher_buffers.h"

namespace solvarium {

namespace {

using Clock = std::chrono::steady_clock;

// How long the orderly end may take, from the moment shutdown begins until
// the final save holds SerialCall's lock; past it, or at a second stop
// signal, the process ends with kExitCutShort.
constexpr std::chrono::seconds kStopDeadline{30};
// How often the thread looks whether shutdown has begun.
constexpr int kShutdownPollMs = 250;

// The stop signals, then those ignored with a line.
const int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGXCPU, SIGUSR1, SIGUSR2, SIGALRM};
constexpr int kStopSignalCount = 4;

// The pipe between the handler and the thread. Never closed: a signal that
// arrives after stop() still writes into it, never into a reused descriptor.
int pipeRead = -1;
volatile sig_atomic_t pipeWrite = -1;

// The signals that have the handler, for restoreSignalHandlers().
int installed[std::size(kSignals)];
std::atomic<int> installedCount{0};

const unsigned char kEndThread = 0;  // no signal has number 0

extern "C" void onSignal(int signal) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signal);
  if (pipeWrite >= 0) (void)!::write(pipeWrite, &byte, 1);
  errno = saved;
}

const char* signalName(int signal) {
  switch (signal) {
    case SIGTERM:
      return "SIGTERM";
    case SIGINT:
      return "SIGINT";
    case SIGHUP:
      return "SIGHUP";
    case SIGXCPU:
      return "SIGXCPU";
    case SIGUSR1:
      return "SIGUSR1";
    case SIGUSR2:
      return "SIGUSR2";
    case SIGALRM:
      return "SIGALRM";
    default:
      return "a signal";
  }
}

bool openPipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return false;
  // A full pipe drops the byte instead of blocking the handler.
  ::fcntl(fds[1], F_SETFL, O_NONBLOCK);
  pipeRead = fds[0];
  pipeWrite = fds[1];
  return true;
}

void setAction(int signal) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // other threads' calls are not interrupted
  ::sigaction(signal, &action, nullptr);
}

// Milliseconds until `deadline`, rounded up; 0 once it has passed.
int millisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

StopSignals::StopSignals() {
  // A launcher may have blocked them before exec: they would never arrive.
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int i = 0; i < kStopSignalCount; ++i) sigaddset(&blocked, kSignals[i]);
  for (const int signal : kSignals) {
    struct sigaction current;
    if (::sigaction(signal, nullptr, &current) != 0) continue;
    if (signal != SIGTERM && current.sa_handler == SIG_IGN) continue;
    handled_.push_back(signal);
  }
  ::pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
}

StopSignals::~StopSignals() { stop(); }

bool StopSignals::start() {
  if (thread_.joinable()) return true;
  if (pipeRead < 0 && !openPipe()) {
    solvarium::diagnostic("Start-up failed: no pipe for the stop signals: %s\n",
                          std::strerror(errno));
    return false;
  }
  try {
    thread_ = std::thread([this] { readSignals(); });
  } catch (const std::exception&) {
    solvarium::diagnostic(
        "Start-up failed: the stop signals' thread did not start: raise the limit on threads "
        "(ulimit -u) or free memory\n");
    return false;
  }
  int count = 0;
  for (const int signal : handled_) {
    setAction(signal);
    installed[count++] = signal;
  }
  installedCount.store(count);
  return true;
}

void StopSignals::serve() {
  const std::lock_guard<std::mutex> lock(mutex_);
  serving_ = true;
  if (pending_) requestServiceShutdown();
}

void StopSignals::stop() {
  if (!thread_.joinable()) return;
  (void)!::write(pipeWrite, &kEndThread, 1);
  thread_.join();
}

// Reads the signals; once shutdown has begun, also keeps the deadline: a
// request that never returns keeps the event loop from ending, or keeps the
// lock from the final save.
void StopSignals::readSignals() {
  bool counting = false;  // the deadline is set
  bool passed = false;    // and has passed
  Clock::time_point deadline;
  for (;;) {
    if (!counting && shutdownBegun()) {
      counting = true;
      deadline = Clock::now() + kStopDeadline;
    }
    const int timeout = passed ? -1 : counting ? millisecondsUntil(deadline) : kShutdownPollMs;
    struct pollfd ready = {pipeRead, POLLIN, 0};
    const int events = ::poll(&ready, 1, timeout);
    if (events > 0) {
      unsigned char byte = kEndThread;
      const ssize_t n = ::read(pipeRead, &byte, 1);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0 || byte == kEndThread) return;
      received(byte);
    } else if (events == 0 && counting && !passed && Clock::now() >= deadline) {
      passed = true;
      if (!claimTheEnd()) continue;  // the final save runs, or the watcher ends the process
      endProcess(kExitCutShort, "Shutdown: " + heldEndCause() + " " +
                                    std::to_string(kStopDeadline.count()) +
                                    " s after shutdown began: the final save is skipped");
    }
  }
}

void StopSignals::received(int signal) {
  if (signal == SIGUSR1 || signal == SIGUSR2 || signal == SIGALRM) {
    solvarium::diagnostic("%s received: ignored\n", signalName(signal));
    return;
  }
  if (signal == SIGXCPU) {
    if (cpuLimitSeen_) return;
    cpuLimitSeen_ = true;
    if (stopping_) return;
  } else if (stopping_) {
    endProcess(kExitCutShort, std::string("Shutdown: a second stop signal (") +
                                  signalName(signal) + "): the final save is cut short");
  }
  stopping_ = true;
  solvarium::diagnostic("%s received: shutting down\n", signalName(signal));
  stopRequested();
}

void StopSignals::stopRequested() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (serving_) {
    requestServiceShutdown();
    return;
  }
  pending_ = true;  // still starting: the end waits for serve()
}

void restoreSignalHandlers() {
  const int count = installedCount.load();
  for (int i = 0; i < count; ++i) {
    struct sigaction current;
    if (::sigaction(installed[i], nullptr, &current) != 0) continue;
    if ((current.sa_flags & SA_SIGINFO) == 0 && current.sa_handler == onSignal) continue;
    setAction(installed[i]);
    solvarium::diagnostic("The %s handler was replaced during a macro: put back\n",
                          signalName(installed[i]));
  }
}

}  // namespace solvarium
