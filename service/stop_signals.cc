#include "service/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "common/diagnostics.h"
#include "service/watcher_buffers.h"

namespace solvarium {

namespace {

// The pipe between the handler and the thread. Never closed: a signal that
// arrives after stop() still writes into it, never into a reused descriptor.
int pipeRead = -1;
volatile sig_atomic_t pipeWrite = -1;

const unsigned char kEndThread = 0;  // no signal has number 0

extern "C" void onStopSignal(int signal) {
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
    default:
      return "a stop signal";
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

void setAction(const std::vector<int>& signals, void (*handler)(int)) {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // other threads' calls are not interrupted
  for (const int signal : signals) ::sigaction(signal, &action, nullptr);
}

}  // namespace

StopSignals::StopSignals() {
  // A launcher may have blocked them before exec: they would never arrive.
  sigset_t blocked;
  sigemptyset(&blocked);
  for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
    sigaddset(&blocked, signal);
    struct sigaction current;
    if (::sigaction(signal, nullptr, &current) != 0) continue;
    if (signal != SIGTERM && current.sa_handler == SIG_IGN) continue;
    handled_.push_back(signal);
  }
  ::pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
}

StopSignals::~StopSignals() { stop(); }

void StopSignals::start() {
  if (thread_.joinable() || pipeRead >= 0) return;
  if (!openPipe()) {
    solvarium::diagnostic("Stop signals keep their default action: pipe: %s\n",
                          std::strerror(errno));
    return;
  }
  try {
    thread_ = std::thread([this] { readSignals(); });
  } catch (const std::system_error& e) {
    solvarium::diagnostic("Stop signals keep their default action: %s\n", e.what());
    return;
  }
  setAction(handled_, onStopSignal);
}

void StopSignals::serve(CORBA::ORB_ptr orb) {
  const std::lock_guard<std::mutex> lock(mutex_);
  orb_ = CORBA::ORB::_duplicate(orb);
  if (pending_) requestServiceShutdown(orb_.in());
}

void StopSignals::stop() {
  if (!thread_.joinable()) return;
  (void)!::write(pipeWrite, &kEndThread, 1);
  thread_.join();
  const std::lock_guard<std::mutex> lock(mutex_);
  orb_ = CORBA::ORB::_nil();
}

void StopSignals::readSignals() {
  for (;;) {
    unsigned char byte = kEndThread;
    const ssize_t n = ::read(pipeRead, &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || byte == kEndThread) return;
    solvarium::diagnostic("%s received: shutting down\n", signalName(byte));
    stopRequested();
  }
}

void StopSignals::stopRequested() {
  const std::lock_guard<std::mutex> lock(mutex_);
  if (!CORBA::is_nil(orb_.in())) {
    requestServiceShutdown(orb_.in());
    return;
  }
  // Still starting: the end waits for serve(); a second signal ends the
  // process at once.
  pending_ = true;
  setAction(handled_, SIG_DFL);
}

}  // namespace solvarium
