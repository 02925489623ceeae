#include "service/watcher_buffers.h"

#include <atomic>

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
}  // namespace

void markShutdownBegun() { shutdownMark.store(true); }

bool shutdownBegun() { return shutdownMark.load(); }

void requestServiceShutdown(CORBA::ORB_ptr orb) {
  markShutdownBegun();
  try {
    orb->shutdown(false);
  } catch (const CORBA::Exception&) {
    // an ORB already shutting down (BAD_INV_ORDER): nothing more to do
  }
}

}  // namespace solvarium
