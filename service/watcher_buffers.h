// The texts that pass to the solver process watcher: the published key (from
// the main thread) and the solver's process id that a kind hands over
// (WatchRule::PidSource::kHandedOver; from a request's thread). Each holder
// keeps a whole string behind a mutex, so a reader sees a whole text, never
// part of one. Also the process-wide "shutdown has begun" mark, after which
// the watcher starts no tick and no shutdown call and does not end the
// process.
#ifndef SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_
#define SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_

#include <omniORB4/CORBA.h>

#include <mutex>
#include <string>

namespace solvarium {

class SharedText {
 public:
  void set(const std::string& text);
  std::string get() const;
  bool empty() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::string text_;  // guarded by mutex_
};

// The key (IOR text) the watcher connects to; written once by the server.
SharedText& solverUnitKeyBuffer();
// The solver's process id as text, as a kind hands it over when its solver
// side announces it.
SharedText& solverPidBuffer();

// Marks that the service is shutting down: set by requestServiceShutdown()
// (a kind servant's `shutdown`) before it stops the ORB, and by the server
// once the event loop has returned. Never reset.
void markShutdownBegun();
bool shutdownBegun();

// A kind servant's `shutdown`: marks that shutdown has begun and asks `orb`
// to end its event loop without waiting for it. Never throws.
void requestServiceShutdown(CORBA::ORB_ptr orb);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_
