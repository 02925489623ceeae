#include "service/process_exit.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "common/diagnostics.h"
#include "platform/end_register.h"
#include "platform/process.h"
#include "platform/temp_dir.h"

// AddressSanitizer builds check for leaks here: _Exit skips the check at exit.
#if defined(__SANITIZE_ADDRESS__)
#define SOLVARIUM_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOLVARIUM_LEAK_CHECK 1
#endif
#endif
#ifdef SOLVARIUM_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace solvarium {

namespace {

using Clock = std::chrono::steady_clock;

// How long the end waits for what other threads are making (a key file, a
// program's start, a run-status query).
constexpr std::chrono::seconds kMakingWait{2};

// Begins the end, or waits for the thread that has begun it.
void beginTheEnd() {
  if (!platform::beginEnd()) platform::waitForTheEnd();
}

// What the process made and still owns; the programs go first, so that
// nothing writes into their folders any more.
void undoWhatTheProcessMade() {
  platform::awaitMakings(Clock::now() + kMakingWait);
  platform::endStartedPrograms();
  platform::removeEndFiles();
  platform::removeLiveTempDirs(Clock::now() + std::chrono::seconds(1));
}

}  // namespace

bool claimTheEnd() {
  static std::atomic<bool> claimed{false};
  return !claimed.exchange(true);
}

int finishProcess(ExitCode code) {
  beginTheEnd();
  undoWhatTheProcessMade();
  flushDiagnostics(kExitFlushTime);
  return code;
}

void failThreadStart(const char* thread) {
  endProcess(kExitStartFailed, std::string("Start-up failed: the ") + thread +
                                   " thread did not start: raise the limit on threads (ulimit "
                                   "-u) or free memory");
}

void endProcess(ExitCode code, const std::string& line) {
  beginTheEnd();
  if (!line.empty()) diagnosticText(line);
  undoWhatTheProcessMade();
  flushDiagnostics(kExitFlushTime);
  std::fflush(stdout);
  std::fflush(stderr);
#ifdef SOLVARIUM_LEAK_CHECK
  __lsan_do_leak_check();
#endif
  std::_Exit(code);
}

}  // namespace solvarium
