// One confinement rule for every file the service reads or writes for a
// client: a name is resolved (symbolic links followed) and accepted only
// when its real location lies inside the base directory; the file itself is
// then opened beneath the base directory's descriptor (openBeneath).
#ifndef SOLVARIUM_COMMON_CONFINED_PATH_H_
#define SOLVARIUM_COMMON_CONFINED_PATH_H_

#include <sys/types.h>

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

// Opens `relative` (a relative name) beneath the folder open at `dirFd`,
// resolved by the kernel (openat2 with RESOLVE_BENEATH): links are followed
// only while they stay beneath it, so a folder swapped for a link to
// elsewhere after a check is never entered. A descriptor (close-on-exec, for
// the caller to close), or -1 with errno: EXDEV when the name leads out,
// ENOSYS when the kernel cannot resolve beneath a folder (then nothing is
// opened).
int openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode = 0);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_CONFINED_PATH_H_
