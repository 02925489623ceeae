// One confinement rule for every file the service reads or writes for a
// client: a name is resolved (symbolic links followed) and accepted only
// when its real location lies inside the base directory.
#ifndef SOLVARIUM_COMMON_CONFINED_PATH_H_
#define SOLVARIUM_COMMON_CONFINED_PATH_H_

#include <string>

namespace solvarium {

// Real path of `path` (links and ".." resolved), or "" (errno set) when it
// cannot be resolved.
std::string realPathOf(const std::string& path);

// Real path of the process's current working directory, or "".
std::string workingDirectory();

enum class PathResolution { kOk, kOutside, kMissing };

// Where `name` really lives under `baseDir` (an absolute, resolved directory).
// A relative name is taken from `baseDir`; absolute names and ".." components
// are allowed. kOutside: empty, or a real path (symbolic links and ".."
// resolved) that leaves `baseDir`. kMissing: its directory does not exist, or
// it is a dangling link. kOk: `target` is the real path (of the directory plus
// the last part when the name does not exist yet); a symbolic link named by
// `name` is never the target, the file it leads to is.
PathResolution resolveInside(const std::string& baseDir, const std::string& name,
                             std::string* target);

// Whether a resolved `target` may be replaced by a new file renamed over it:
// it does not exist yet or is a regular file we may write (never a FIFO,
// device or folder), and its folder is writable. When it may not, `error`
// (when not null) receives why: EISDIR or EINVAL for a folder or another kind
// of file, else the error of the access check.
bool isReplaceableFile(const std::string& target, int* error = nullptr);

// False when the file open at `fd` demonstrably lies outside `baseDir` (its
// real location, read from /proc, was put there after a check, e.g. a folder
// on the way swapped for a link); true when it lies inside or is unknown.
bool openedInside(const std::string& baseDir, int fd);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_CONFINED_PATH_H_
