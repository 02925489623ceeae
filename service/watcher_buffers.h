// What the service's threads hand each other. The texts that pass to the
// solver process watcher: the published key (from the main thread) and the
// solver's process id that a kind hands over (WatchRule::PidSource::
// kHandedOver; from a request's thread); each holder keeps a whole string
// behind a mutex, so a reader sees a whole text, never part of one. And the
// shutdown request: the process-wide "shutdown has begun" mark, after which
// the watcher starts no tick and no shutdown call (it may still end the
// process when the solver has gone: see solver_process_checker.h), the main
// thread's wait for the request, and what holds the orderly end up.
#ifndef SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_
#define SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_

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

// Shutdown has begun: a `shutdown` call, the watcher's, or a stop signal
// once the service serves (requestServiceShutdown()). Never reset.
bool shutdownBegun();

// Marks that shutdown has begun and wakes the main thread's
// awaitShutdownRequest(); makes no thread and takes no lock that a request
// may hold, so it works at any limit and while a request never returns.
// Never throws.
void requestServiceShutdown();

// The main thread, serving: waits for requestServiceShutdown().
void awaitShutdownRequest();

// The main thread: the ORB's shutdown has ended (no request runs any more).
void markOrbShutDown();

// What keeps the orderly end from the final save, once shutdown has begun:
// "a request still runs" while a client request runs, else what does.
std::string heldEndCause();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_WATCHER_BUFFERS_H_
