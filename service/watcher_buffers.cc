#include "service/watcher_buffers.h"

#include <atomic>
#include <condition_variable>

#include "service/servant_poa.h"

namespace solvarium {

void SharedText::set(const std::string& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  text_ = text;
}

std::string SharedText::get() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_;
}

bool SharedText::empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return text_.empty();
}

void SharedText::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  text_.clear();
}

SharedText& solverUnitKeyBuffer() {
  static SharedText buffer;
  return buffer;
}

SharedText& solverPidBuffer() {
  static SharedText buffer;
  return buffer;
}

namespace {

struct ShutdownState {
  std::atomic<bool> begun{false};
  std::atomic<bool> orbShutDown{false};
  std::mutex mutex;
  std::condition_variable requested;
  bool request = false;  // guarded by mutex
};

// Never destroyed: a request may still ask after exit() has begun.
ShutdownState& shutdownState() {
  static ShutdownState* const state = new ShutdownState;
  return *state;
}

}  // namespace

bool shutdownBegun() { return shutdownState().begun.load(); }

void requestServiceShutdown() {
  ShutdownState& state = shutdownState();
  state.begun.store(true);
  {
    const std::lock_guard<std::mutex> lock(state.mutex);
    state.request = true;
  }
  state.requested.notify_all();
}

void awaitShutdownRequest() {
  ShutdownState& state = shutdownState();
  std::unique_lock<std::mutex> lock(state.mutex);
  state.requested.wait(lock, [&state] { return state.request; });
}

void markOrbShutDown() { shutdownState().orbShutDown.store(true); }

std::string heldEndCause() {
  if (requestsInProgress() > 0) return "a request still runs";
  if (!shutdownState().orbShutDown.load()) return "the ORB's shutdown has not ended";
  return "a call of the solver watcher still runs";  // the only other holder of the lock
}

}  // namespace solvarium
