#include "common/diagnostics.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <mutex>
#include <system_error>
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
    std::string counts = repeats_.counts(RepeatedLines::Clock::now(), true);
    if (!counts.empty()) addLocked(std::move(counts));
    if (!running_) return true;  // every line was written by its caller
    return written_.wait_for(lock, timeout,
                             [this] { return lines_.empty() && dropped_ == 0 && !writing_; });
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
    queuedBytes_ += line.size();
    lines_.push_back(std::move(line));
    queued_.notify_one();
  }

  void run() {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto ready = [this] { return !lines_.empty() || dropped_ > 0; };
    for (;;) {
      // Counts of repeated lines go out when their interval ends.
      const auto end = repeats_.nextEnd();
      if (end == RepeatedLines::Clock::time_point::max()) {
        queued_.wait(lock, ready);
      } else {
        queued_.wait_until(lock, end, ready);
      }
      std::string text;
      for (const std::string& line : lines_) text += line;
      text += repeats_.counts(RepeatedLines::Clock::now());
      if (text.empty() && dropped_ == 0) continue;
      lines_.clear();
      queuedBytes_ = 0;
      if (dropped_ > 0) {
        text += "(" + std::to_string(dropped_) +
                " diagnostic lines dropped: stderr did not take them in time)\n";
        dropped_ = 0;
      }
      writing_ = true;
      lock.unlock();
      writeAll(STDERR_FILENO, text);
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
    } catch (const std::system_error&) {
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
  bool writing_ = false;
  bool running_ = false;  // the thread was made
};

Logger& logger() {
  static Logger* const instance = new Logger;
  return *instance;
}

// `text` as one line: cut at `maxBytes`, saying how long it was, and ended
// by one line feed.
std::string cutLine(const std::string& text, std::size_t maxBytes) {
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
  return line;
}

}  // namespace

void diagnostic(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  std::string text;
  if (length > 0) {
    text.resize(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(&text[0], text.size(), format, again);
    text.resize(static_cast<std::size_t>(length));
  }
  va_end(again);
  if (length >= 0) diagnosticText(text);
}

void diagnosticText(const std::string& text, std::size_t maxBytes) {
  logger().add(cutLine(text, maxBytes));
}

void repeatedDiagnostic(const std::string& text) {
  logger().addRepeated(cutLine(text, kDiagnosticLineBytes));
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
