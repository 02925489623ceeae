// StopSignals: the service's signals, and the deadline of its end.
// - SIGTERM, SIGINT, SIGHUP and SIGXCPU (the soft CPU time limit) are stop
//   signals: one stderr line, then the end a `shutdown` call makes (the
//   event loop ends, the final save runs). One received during
//   start-up is kept until serve(). The kernel repeats SIGXCPU every second
//   of CPU time: a repeated one does nothing.
// - A second stop signal (SIGTERM, SIGINT or SIGHUP after any stop signal)
//   ends the process at once, at any stage, the final save included: one
//   stderr line, exit code 3 (see process_exit.h).
// - SIGUSR1, SIGUSR2 and SIGALRM are ignored, with one stderr line each time.
// - SIGTERM is taken over even when it was ignored at start; each other
//   signal above that was ignored at start (SIGINT of a background job,
//   SIGHUP under nohup) stays ignored. The stop signals are unblocked.
// - Once shutdown has begun (a stop signal, a `shutdown` call, the
//   watcher), the process ends with exit code 3 and one stderr line, which
//   names what held it up, when the final save does not hold the end 30 s
//   later.
// The entry ignores SIGPIPE and SIGXFSZ (run_service.cc); every other signal
// keeps its action (SIGQUIT its core dump).
//
// The handler only writes the signal's number into a pipe; the thread of
// this class, made at start, reads it and keeps the deadline, so that
// stopping needs no thread made later. Programs that the service starts
// get the default actions back: exec resets a handler, and runProgram the
// ignored SIGPIPE and SIGXFSZ.
//
// One object per process, made and used on the main thread.
#ifndef SOLVARIUM_SERVICE_STOP_SIGNALS_H_
#define SOLVARIUM_SERVICE_STOP_SIGNALS_H_

#include <mutex>
#include <thread>
#include <vector>

namespace solvarium {

class StopSignals {
 public:
  // Notes which signals are ignored and unblocks the stop signals (before
  // any thread is made, so that every thread inherits it); installs nothing.
  StopSignals();
  // Runs stop().
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Starts the thread and installs the handlers. False, with one stderr
  // line, when the thread or its pipe cannot be made.
  bool start();

  // From now on a stop signal (one already received included) requests the
  // service's shutdown (watcher_buffers.h).
  void serve();

  // Ends the thread; later signals do nothing.
  void stop();

 private:
  void readSignals();
  void received(int signal);
  void stopRequested();

  std::vector<int> handled_;  // the signals not ignored at start
  std::thread thread_;
  bool stopping_ = false;      // the thread's own: a stop signal came
  bool cpuLimitSeen_ = false;  // the thread's own: SIGXCPU came

  std::mutex mutex_;
  bool serving_ = false;  // guarded by mutex_; serve() was called
  bool pending_ = false;  // guarded by mutex_; a signal came before serve()
};

// Puts the service's handler back on each of its signals whose handler was
// replaced since start() (by a macro's faulthandler.register, say), with one
// stderr line each. For after foreign code ran; any thread.
void restoreSignalHandlers();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_STOP_SIGNALS_H_
