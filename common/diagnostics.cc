#include "common/diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

#include "common/repeated_lines.h"
#include "platform/descriptor.h"

namespace solvarium {

namespace {

// Text waiting for stderr at most; a line that does not fit is dropped.
constexpr std::size_t kQueueBytes = 256 * 1024;

// Descriptor 0, 1 or 2 as at start, kept above 2; -1 where it was closed.
int startDescriptor(int fd) {
  static const int kept[3] = {::fcntl(0, F_DUPFD_CLOEXEC, 3), ::fcntl(1, F_DUPFD_CLOEXEC, 3),
                              ::fcntl(2, F_DUPFD_CLOEXEC, 3)};
  return kept[fd];
}

// Writes `text` to the kept `fd`; closed or broken, the text is lost.
void writeAll(int fd, const std::string& text) {
  platform::writeAll(startDescriptor(fd), text.data(), text.size());
}

// The queue and its writer thread, started on first use. Never destroyed,
// so that the thread may outlive main().
class Logger {
 public:
  // A line that could not be allocated; counted, never written.
  void lost() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      ++lost_;
    }
    queued_.notify_one();
  }

  void add(std::string line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    addLocked(std::move(line));
  }

  void addRepeated(std::string line) {
    const std::lock_guard<std::mutex> lock(mutex_);
    const auto now = RepeatedLines::Clock::now();
    std::string text = repeats_.counts(now);
    if (repeats_.pass(line, now)) text += line;
    if (!text.empty()) addLocked(std::move(text));
  }

  bool start() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return running_ || startThread();
  }

  bool flush(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    try {
      std::string counts = repeats_.counts(RepeatedLines::Clock::now(), true);
      if (!counts.empty()) addLocked(std::move(counts));
    } catch (const std::bad_alloc&) {
      ++lost_;
    }
    if (!running_) return true;  // every line was written by its caller
    return written_.wait_for(lock, timeout, [this] {
      return lines_.empty() && dropped_ == 0 && lost_ == 0 && !writing_;
    });
  }

 private:
  // Needs mutex_.
  void addLocked(std::string line) {
    if (!running_ && !startThread()) {
      // No thread to write: the caller does, in order, under the lock.
      writeAll(STDERR_FILENO, line);
      return;
    }
    if (queuedBytes_ + line.size() > kQueueBytes) {
      ++dropped_;
      return;
    }
    const std::size_t bytes = line.size();
    lines_.push_back(std::move(line));
    queuedBytes_ += bytes;
    queued_.notify_one();
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [this] { return !lines_.empty() || dropped_ > 0 || lost_ > 0; };
    for (;;) {
      // Counts of repeated lines go out when their interval ends.
      const auto end = repeats_.nextEnd();
      if (end == RepeatedLines::Clock::time_point::max()) {
        queued_.wait(lock, ready);
      } else {
        queued_.wait_until(lock, end, ready);
      }
      try {
        std::string counts = repeats_.counts(RepeatedLines::Clock::now());
        if (!counts.empty()) addLocked(std::move(counts));
      } catch (const std::bad_alloc&) {
        ++lost_;
      }
      if (!ready()) continue;
      writing_ = true;
      // Line by line, without allocating: memory may be what ran out.
      while (!lines_.empty()) {
        const std::string line = std::move(lines_.front());
        lines_.pop_front();
        queuedBytes_ -= line.size();
        lock.unlock();
        writeAll(STDERR_FILENO, line);
        lock.lock();
      }
      char counts[160] = "";
      int used = 0;
      if (dropped_ > 0) {
        used = std::snprintf(counts, sizeof counts,
                             "(%llu diagnostic lines dropped: stderr did not take them in time)\n",
                             static_cast<unsigned long long>(dropped_));
      }
      if (lost_ > 0) {
        std::snprintf(counts + used, sizeof counts - used,
                      "(%llu diagnostic lines dropped: no memory for them)\n",
                      static_cast<unsigned long long>(lost_));
      }
      dropped_ = 0;
      lost_ = 0;
      lock.unlock();
      platform::writeAll(startDescriptor(STDERR_FILENO), counts, std::strlen(counts));
      lock.lock();
      writing_ = false;
      written_.notify_all();
    }
  }

  // Needs mutex_. Tried again at each line until it succeeds.
  bool startThread() {
    try {
      std::thread(&Logger::run, this).detach();
      running_ = true;
    } catch (const std::exception&) {
      // a limit on threads, or no memory: lines are written by their callers
    }
    return running_;
  }

  std::mutex mutex_;
  std::condition_variable queued_;   // a line or a drop to write
  std::condition_variable written_;  // the writer finished a batch
  std::deque<std::string> lines_;    // guarded by mutex_, as is every field below
  RepeatedLines repeats_;
  std::size_t queuedBytes_ = 0;
  std::uint64_t dropped_ = 0;
  std::uint64_t lost_ = 0;  // lines that could not be allocated
  bool writing_ = false;
  bool running_ = false;  // the thread was made
};

Logger& logger() {
  static Logger* const instance = new Logger;
  return *instance;
}

// Cuts `text` at `maxBytes` and queues it as one line, as a repeatable one
// when `repeatable`.
void queueLine(const std::string& text, std::size_t maxBytes, bool repeatable = false) {
  std::size_t length = text.size();
  while (length > 0 && text[length - 1] == '\n') --length;
  std::string line;
  if (length <= maxBytes) {
    line.assign(text, 0, length);
  } else {
    std::size_t keep = maxBytes;  // not inside a UTF-8 sequence
    while (keep > 0 && (static_cast<unsigned char>(text[keep]) & 0xC0) == 0x80) --keep;
    line.assign(text, 0, keep);
    line += "... (" + std::to_string(length) + " bytes)";
  }
  line += '\n';
  if (repeatable) {
    logger().addRepeated(std::move(line));
  } else {
    logger().add(std::move(line));
  }
}

}  // namespace

void diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  try {
    std::string text;
    if (length > 0) {
      text.resize(static_cast<std::size_t>(length) + 1);
      std::vsnprintf(&text[0], text.size(), format, again);
      text.resize(static_cast<std::size_t>(length));
    }
    if (length >= 0) queueLine(text, kDiagnosticLineBytes);
  } catch (const std::bad_alloc&) {
    logger().lost();
  }
  va_end(again);
}

void diagnosticText(const std::string& text, std::size_t maxBytes) {
  try {
    queueLine(text, maxBytes);
  } catch (const std::bad_alloc&) {
    logger().lost();
  }
}

void repeatedDiagnostic(const std::string& text) {
  try {
    queueLine(text, kDiagnosticLineBytes, true);
  } catch (const std::bad_alloc&) {
    logger().lost();
  }
}

bool startDiagnostics() { return logger().start(); }

bool flushDiagnostics(std::chrono::milliseconds timeout) { return logger().flush(timeout); }

void keepStartDescriptors() { startDescriptor(0); }

void writeStartStdout(const std::string& text) { writeAll(STDOUT_FILENO, text); }

void restoreStandardDescriptors() {
  for (int fd = 0; fd < 3; ++fd) {
    const int kept = startDescriptor(fd);
    struct stat was;
    struct stat now;
    if (kept < 0 || ::fstat(kept, &was) != 0) continue;
    if (::fstat(fd, &now) != 0 ||
        ((now.st_dev != was.st_dev || now.st_ino != was.st_ino) && !S_ISSOCK(now.st_mode))) {
      ::dup2(kept, fd);
    }
  }
}

}  // namespace solvarium
