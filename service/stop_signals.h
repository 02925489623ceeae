// StopSignals: SIGTERM, SIGINT and SIGHUP end the service the way a
// `shutdown` call does (the event loop ends, the final save runs, exit code
// 0). The handler only writes the signal's number into a pipe; a thread of
// this class reads it and asks the ORB to shut down once serve() has named
// it. A signal during start-up is kept until then, and a second one during
// start-up ends the process at once (the default action). A signal that was
// ignored when the object was made (SIGINT of a background job, SIGHUP under
// nohup) stays ignored.
//
// One object per process, made and used on the main thread.
#ifndef SOLVARIUM_SERVICE_STOP_SIGNALS_H_
#define SOLVARIUM_SERVICE_STOP_SIGNALS_H_

#include <omniORB4/CORBA.h>

#include <mutex>
#include <thread>
#include <vector>

namespace solvarium {

class StopSignals {
 public:
  // Notes which stop signals are ignored and unblocks all three (before any
  // thread is made, so that every thread inherits it); installs nothing yet.
  StopSignals();
  // Runs stop().
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  // Starts the thread and installs the handlers. A failure is one line on
  // stderr; the signals then keep their default action.
  void start();

  // From now on a stop signal (one already received included) shuts `orb`'s
  // event loop down.
  void serve(CORBA::ORB_ptr orb);

  // Ends the thread and drops the ORB; later signals do nothing. Call it
  // before the ORB is destroyed.
  void stop();

 private:
  void readSignals();
  void stopRequested();

  std::vector<int> handled_;  // the stop signals not ignored at start
  std::thread thread_;

  std::mutex mutex_;
  CORBA::ORB_var orb_;     // guarded by mutex_; nil before serve() and after stop()
  bool pending_ = false;   // guarded by mutex_; a signal came before serve()
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_STOP_SIGNALS_H_
