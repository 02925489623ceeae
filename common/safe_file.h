// Whole-file reads and crash-safe whole-file writes.
#ifndef SOLVARIUM_COMMON_SAFE_FILE_H_
#define SOLVARIUM_COMMON_SAFE_FILE_H_

#include <cstddef>
#include <string>

namespace solvarium {

// Permissions of a file that writeFileAtomically writes.
enum class FileMode {
  kAsBefore,   // an existing file's permissions; a new file gets 0666 less the umask
  kOwnerOnly,  // 0600, whatever the umask and the earlier file (secrets: key files)
};

// Writes `data` to a fresh temporary file in the directory of `path` (named
// ".solvarium-tmp-<this process's id>-XXXXXX"), gives it its permissions
// (`mode`), checks every write, flush and close, then renames it over `path`.
// On failure the previous file stays whole, the temporary file is removed,
// `error` (when not null) receives a text naming the path and the system
// error, errno holds that error, and the result is false. The end of the
// process (platform/end_register.h) removes a temporary file in flight;
// once it has begun, no temporary file is made and none replaces `path`:
// the calling thread waits for the end.
bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error, FileMode mode = FileMode::kAsBefore);
bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error,
                         FileMode mode = FileMode::kAsBefore);

// As writeFileAtomically(), for the file `name` (one path component) in the
// folder open at `dirFd` (an O_PATH descriptor will do): the temporary file
// is made and renamed there, whatever happens to the folder's path meanwhile.
// `path` names the file in `error`.
bool writeFileAtomicallyAt(int dirFd, const std::string& name, const std::string& path,
                           const void* data, size_t size, std::string* error,
                           FileMode mode = FileMode::kAsBefore);

// Removes from `dir` the temporary files of writeFileAtomically that
// interrupted writers left: those named with the id of a process that has
// gone, or with this process's id. Call it before this process writes into
// `dir`. Only regular files are removed; links are never followed.
void removeStaleTemporaryFiles(const std::string& dir);

// Reads the whole regular file `path` into `data`. False (with `error`) when
// it cannot be opened, is not a regular file or a read fails.
bool readWholeFile(const std::string& path, std::string* data, std::string* error);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_SAFE_FILE_H_
