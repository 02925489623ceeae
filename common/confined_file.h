// One call each to read and to write a file that a client or the solver
// names: the name is resolved inside a base directory and then opened
// beneath it by the kernel (confined_path.h), so a folder swapped for a link
// in between is never entered; a final link is never followed, only regular
// files are read or replaced, and a write goes to a temporary file renamed
// into place in the folder so opened (safe_file.h). Every call answers a
// FileStatus; the caller maps its code to its own client text and may log
// `message`, which names the path and the system error.
#ifndef SOLVARIUM_COMMON_CONFINED_FILE_H_
#define SOLVARIUM_COMMON_CONFINED_FILE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>

namespace solvarium {

struct FileStatus {
  enum Code {
    kOk,
    kOutside,         // empty, or resolves outside the base directory (EACCES)
    kMissing,         // its folder does not exist, a dangling link, no base (ENOENT)
    kNotRegular,      // a folder (EISDIR), link, FIFO or device (ELOOP, EINVAL)
    kNotReplaceable,  // write: not a regular file we may write, or its folder is not writable
    kOpenFailed,      // read: the open or fstat failed
    kTooLarge,        // read: over the limit (EFBIG) or more than memory holds (ENOMEM)
    kReadFailed,      // read: ended early; `error` 0 when the file shrank. The bytes read are kept.
    kWriteFailed,     // write: creating, writing or renaming the temporary file failed
  };
  Code code = kOk;
  std::string path;     // the resolved file, or the name as given before it resolves
  int error = 0;        // errno of the failing step, 0 when none
  std::string message;  // one line for a log: what failed, the path, the system error

  bool ok() const { return code == kOk; }
};

// Every call takes `baseDir` as resolveInside() does (an absolute, resolved
// directory, e.g. workingDirectory()); an empty `baseDir` refuses every name
// as kMissing.

// Opens `name` for reading: a close-on-exec descriptor that the caller closes,
// and the file's size. Never blocks on a FIFO.
FileStatus openConfinedFile(const std::string& baseDir, const std::string& name, int* fd,
                            std::uint64_t* size);

// Reads the whole file `name` into `data` (its size at the open, at most
// `maxBytes`; held once).
FileStatus readConfinedFile(const std::string& baseDir, const std::string& name,
                            std::string* data,
                            std::uint64_t maxBytes = std::numeric_limits<std::uint64_t>::max());

// The checks of writeConfinedFile() alone, for a caller that refuses a name
// before it composes the contents: kOk, kOutside, kMissing or kNotReplaceable.
FileStatus writableConfinedFile(const std::string& baseDir, const std::string& name);

// Replaces the file `name` with `data` (writeFileAtomically): the previous
// file stays whole on failure. A link named by `name` stays; the regular file
// it leads to inside `baseDir` is replaced.
FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const void* data, std::size_t size);
FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const std::string& data);

// The save of a kind's command: replaces `name` inside workingDirectory()
// with the text that document() makes, which runs only once the name has
// passed writableConfinedFile(). `*written` (may be null) tells a failed
// write (true) from a refused name (false).
FileStatus saveConfinedFile(const std::string& name, const std::function<std::string()>& document,
                            bool* written = nullptr);

// From now on writeConfinedFile() and writableConfinedFile() refuse to
// replace the file `path` (kNotReplaceable, EPERM), by whatever name it is
// reached: the service's own key files. Its folder must exist. Thread-safe.
void refuseConfinedWrites(const std::string& path);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_CONFINED_FILE_H_
