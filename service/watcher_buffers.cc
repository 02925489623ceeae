#include "service/watcher_buffers.h"

#include <atomic>
#include <condition_variable>

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
std::atomic<bool> shutdownMark{false};
// Never destroyed: a thread may still wait on them while the process exits.
std::mutex& markMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}
std::condition_variable& markSet() {
  static std::condition_variable* set = new std::condition_variable;
  return *set;
}
}  // namespace

void markShutdownBegun() {
  {
    const std::lock_guard<std::mutex> lock(markMutex());
    shutdownMark.store(true);
  }
  markSet().notify_all();
}

bool shutdownBegun() { return shutdownMark.load(); }

void waitForShutdownBegun() {
  std::unique_lock<std::mutex> lock(markMutex());
  markSet().wait(lock, [] { return shutdownMark.load(); });
}

void requestServiceShutdown(CORBA::ORB_ptr orb) {
  markShutdownBegun();
  try {
    orb->shutdown(false);
  } catch (const CORBA::Exception&) {
    // an ORB already shutting down (BAD_INV_ORDER): nothing more to do
  }
}

}  // namespace solvarium
