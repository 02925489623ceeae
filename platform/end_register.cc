#include "platform/end_register.h"

#include <fcntl.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

namespace solvarium {
namespace platform {

namespace {

// Made on first use and never destroyed: threads may still make or end
// things while exit() runs.
struct EndState {
  std::mutex mutex;
  std::condition_variable makingEnded;
  bool begun = false;        // guarded by mutex
  std::thread::id ender;     // guarded by mutex
  int makings = 0;           // guarded by mutex: Makings held by every thread
  std::set<const EndFile*> files;  // guarded by mutex
};

EndState& state() {
  static EndState* const shared = new EndState;
  return *shared;
}

thread_local int ownMakings = 0;

}  // namespace

Making::Making() {
  EndState& end = state();
  const std::lock_guard<std::mutex> lock(end.mutex);
  allowed_ = !end.begun;
  if (!allowed_) return;
  ++end.makings;
  ++ownMakings;
}

Making::~Making() {
  if (!allowed_) return;
  EndState& end = state();
  {
    const std::lock_guard<std::mutex> lock(end.mutex);
    --end.makings;
    --ownMakings;
  }
  end.makingEnded.notify_all();
}

bool beginEnd() {
  EndState& end = state();
  const std::lock_guard<std::mutex> lock(end.mutex);
  if (end.begun) return false;
  end.begun = true;
  end.ender = std::this_thread::get_id();
  return true;
}

void awaitMakings(std::chrono::steady_clock::time_point deadline) {
  EndState& end = state();
  std::unique_lock<std::mutex> lock(end.mutex);
  end.makingEnded.wait_until(lock, deadline, [&end] { return end.makings == ownMakings; });
}

void waitForTheEnd() {
  {
    EndState& end = state();
    const std::lock_guard<std::mutex> lock(end.mutex);
    if (!end.begun || end.ender == std::this_thread::get_id()) return;
  }
  for (;;) ::pause();
}

EndFile::EndFile(int dirFd, std::string name) : dirFd_(dirFd), name_(std::move(name)) {
  EndState& end = state();
  const std::lock_guard<std::mutex> lock(end.mutex);
  end.files.insert(this);
}

EndFile::~EndFile() {
  EndState& end = state();
  const std::lock_guard<std::mutex> lock(end.mutex);
  end.files.erase(this);
}

void removeEndFiles() {
  EndState& end = state();
  // Under the lock: an owner that drops its file meanwhile waits, and keeps
  // its folder's descriptor open until then.
  const std::lock_guard<std::mutex> lock(end.mutex);
  for (const EndFile* file : end.files) ::unlinkat(file->dirFd_, file->name_.c_str(), 0);
  end.files.clear();
}

}  // namespace platform
}  // namespace solvarium
