// Console and error-file output of the service core, and ending the process.
#ifndef SOLVARIUM_SERVICE_SERVICE_LOG_H_
#define SOLVARIUM_SERVICE_SERVICE_LOG_H_

#include <chrono>
#include <string>

namespace solvarium {

// Appends `text` to `fileName` in the working directory (created with mode
// 0600 when absent; opened and closed for this one text). Only a regular
// file of this user with a single link that no one else may write is
// written, as checked on the opened descriptor: a symbolic link, FIFO or
// other kind of file of that name, a hard link, or another user's or a
// group- or world-writable file, is left alone, with one line on stderr.
// A text that cannot be written whole (a full disk, the file size limit) is
// cut off again, leaving the file as it was, with one line on stderr.
// False when the text was not written.
bool appendText(const std::string& fileName, const std::string& text);

// Writes `text` to standard output as is and flushes it.
void printText(const std::string& text);

// "instant_aas_error_<pid>.txt" with this process's id.
std::string instantErrorFileName();

// How long the exit waits for queued diagnostics to reach stderr.
constexpr std::chrono::milliseconds kExitFlushTime{1000};

// Once shutdown may have begun, one party ends the process: the final save
// once it holds SerialCall's lock, or the one that gives up waiting for that
// lock (the stop deadline; the watcher when the solver has gone). True for
// the first caller only; a later one leaves the end to the first.
bool claimTheEnd();

// Flushes standard output and the queued diagnostics (for at most
// kExitFlushTime) and ends the process at once with `code`, without running
// static destructors while the ORB's threads run.
// AddressSanitizer builds first run the leak check that exit would run.
[[noreturn]] void endProcess(int code);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SERVICE_LOG_H_
