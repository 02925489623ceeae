// Ending the process, by every route: the exit codes, the one party that
// ends an orderly end that is held up, and the exit itself. The exit begins
// the end (platform/end_register.h: from then on nothing new is made, and a
// thread that would make something waits for the end), waits a short while
// for what is being made, then undoes what the process made and still owns:
// its programs' groups (killed), its temporary files, the files registered
// to go at the end (a run folder's lock, say) and its temporary folders.
#ifndef SOLVARIUM_SERVICE_PROCESS_EXIT_H_
#define SOLVARIUM_SERVICE_PROCESS_EXIT_H_

#include <chrono>
#include <string>

namespace solvarium {

enum ExitCode : int {
  // A shutdown call, a stop signal or the watcher; --help, --version; no kind.
  kExitNormal = 0,
  // Start-up failed ("Start-up failed: ..." on stderr).
  kExitStartFailed = 1,
  // The stop deadline passed or a second stop signal came: no final save.
  kExitCutShort = 3,
  // The final save failed: the previous "monitor.json" stays.
  kExitFinalSaveFailed = 4,
};

// How long the exit waits for queued diagnostics to reach stderr.
constexpr std::chrono::milliseconds kExitFlushTime{1000};

// Once shutdown may have begun, one party ends the process: the final save
// once it holds SerialCall's lock, or the one that gives up waiting for that
// lock (the stop deadline; the watcher when the solver has gone). True for
// the first caller only; a later one leaves the end to the first.
bool claimTheEnd();

// The orderly end on the main thread, once the servants are done: begins the
// end and undoes what the process made, flushes the diagnostics, and answers
// `code` for main() to return. Waits for the end instead when another thread
// has begun it.
int finishProcess(ExitCode code);

// A thread the service cannot do without did not start: it could neither
// serve, stop nor speak, so the process ends with kExitStartFailed and one
// line naming `thread` ("the ORB's"), before any key is published.
[[noreturn]] void failThreadStart(const char* thread);

// Begins the end, writes `line` (when not empty) to stderr, undoes what the
// process made, flushes standard output and the diagnostics (for at most
// kExitFlushTime) and ends the process at once with `code`, without running
// static destructors while the ORB's threads run. When another thread has
// begun the end, waits for it instead. AddressSanitizer builds first run the
// leak check that exit would run.
[[noreturn]] void endProcess(ExitCode code, const std::string& line = std::string());

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_PROCESS_EXIT_H_
