// Console and error-file output of the service core.
#ifndef SOLVARIUM_SERVICE_SERVICE_LOG_H_
#define SOLVARIUM_SERVICE_SERVICE_LOG_H_

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

// Writes `text` to standard output as is and flushes it. Once the end of
// the process has begun nothing more is printed: the calling thread waits
// for the end (a key printed after it would be a dead service's).
void printText(const std::string& text);

// "instant_aas_error_<pid>.txt" with this process's id.
std::string instantErrorFileName();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SERVICE_LOG_H_
