#include "common/confined_path.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <vector>

namespace solvarium {

namespace {

bool isUnder(const std::string& baseDir, const std::string& path) {
  if (path == baseDir) return true;
  if (baseDir == "/") return !path.empty() && path[0] == '/';
  return path.size() > baseDir.size() && path.compare(0, baseDir.size(), baseDir) == 0 &&
         path[baseDir.size()] == '/';
}

std::string directoryPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
}

std::string lastPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// `path` (absolute) with "." and ".." components folded away, without
// looking at the file system.
std::string lexicallyNormal(const std::string& path) {
  std::vector<std::string> parts;
  std::string::size_type start = 0;
  while (start <= path.size()) {
    std::string::size_type end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string part = path.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  std::string normal;
  for (const std::string& part : parts) normal += "/" + part;
  return normal.empty() ? std::string("/") : normal;
}

}  // namespace

std::string realPathOf(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string result(resolved);
  ::free(resolved);
  return result;
}

PathResolution resolveInside(const std::string& baseDir, const std::string& name,
                             std::string* target) {
  if (name.empty()) return PathResolution::kOutside;
  const std::string joined = name[0] == '/' ? name : baseDir + "/" + name;
  struct stat info;
  if (::lstat(joined.c_str(), &info) == 0) {
    const std::string resolved = realPathOf(joined);
    if (resolved.empty()) return PathResolution::kMissing;  // dangling link
    if (!isUnder(baseDir, resolved)) return PathResolution::kOutside;
    *target = resolved;
    return PathResolution::kOk;
  }
  const std::string leaf = lastPart(joined);
  const std::string dir = realPathOf(directoryPart(joined));
  if (dir.empty()) {
    // A missing folder cannot be a link: the name's own ".." tell where it leads.
    return isUnder(baseDir, lexicallyNormal(joined)) ? PathResolution::kMissing
                                                     : PathResolution::kOutside;
  }
  if (!isUnder(baseDir, dir)) return PathResolution::kOutside;
  if (leaf.empty() || leaf == "." || leaf == "..") return PathResolution::kMissing;
  *target = dir + (dir == "/" ? "" : "/") + leaf;
  return PathResolution::kOk;
}

std::string workingDirectory() { return realPathOf("."); }

int openBeneath(int dirFd, const std::string& relative, int flags, mode_t mode) {
  struct open_how how;
  std::memset(&how, 0, sizeof how);
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.mode = mode;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  // EAGAIN: a rename raced with a ".." step; a few retries, then refused.
  long fd = -1;
  for (int attempt = 0; attempt < 8; ++attempt) {
    fd = ::syscall(SYS_openat2, dirFd, relative.c_str(), &how, sizeof how);
    if (fd >= 0 || (errno != EINTR && errno != EAGAIN)) break;
  }
  return static_cast<int>(fd);
}

}  // namespace solvarium
