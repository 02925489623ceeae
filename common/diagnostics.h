// Diagnostics: the one way the service writes to stderr. Once the logger
// thread runs, a call never waits for stderr: the line goes into a bounded
// queue that the thread writes out (the only blocking write). What does not fit is dropped and counted;
// the count follows in a line of its own once the queue has room again.
// While the thread cannot be made (a limit on threads), each call writes its
// line itself, blocking, and tries to make the thread again.
// Every line is capped, so client text quoted in it is too. A line that
// cannot be allocated (an address-space limit) is dropped and counted the
// same way; no call throws. Any thread may call these, with any lock held.
//
// Descriptors 0, 1 and 2 as the process started with them are kept on
// private close-on-exec descriptors above 2: diagnostics go to the kept
// stderr, whatever descriptor 2 became since (a client socket may take it).
#ifndef SOLVARIUM_COMMON_DIAGNOSTICS_H_
#define SOLVARIUM_COMMON_DIAGNOSTICS_H_

#include <chrono>
#include <cstddef>
#include <string>

namespace solvarium {

// Longest line kept whole; a longer one is cut there and says how long it was.
constexpr std::size_t kDiagnosticLineBytes = 400;

// Queues one printf-formatted line (a line feed is added when missing).
void diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Queues `text` as one line, cut at `maxBytes`.
void diagnosticText(const std::string& text, std::size_t maxBytes = kDiagnosticLineBytes);

// Queues `text` as diagnosticText() does, unless it is a repeat: repeats of a
// text collapse into count lines (common/repeated_lines.h), each written when
// its interval ends and, at the latest, by flushDiagnostics().
void repeatedDiagnostic(const std::string& text);

// Makes the logger thread now, as the first line would; false when it
// cannot be made.
bool startDiagnostics();

// Queues the counts of repeated lines still open, then waits up to `timeout`
// until everything queued has been written; false when stderr did not take
// it in time. For start-up failures and the exit.
bool flushDiagnostics(std::chrono::milliseconds timeout);

// Keeps descriptors 0, 1 and 2 as they are now; else the first diagnostic
// or printed line keeps them. Call it at start, before a macro can run.
void keepStartDescriptors();

// Writes `text` whole to the stdout the process started with (blocking).
void writeStartStdout(const std::string& text);

// Puts the kept descriptor back on each of 0, 1 and 2 that was closed or
// now refers to another file; a socket there is left alone, as it may be a
// connection that the ORB accepted meanwhile.
void restoreStandardDescriptors();

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_DIAGNOSTICS_H_
