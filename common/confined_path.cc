#include "common/confined_path.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

// Where the open descriptor `fd` really lies, from /proc; "" when unknown.
std::string openedPath(int fd) {
  char path[PATH_MAX];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t size = ::readlink(link.c_str(), path, sizeof path);
  if (size <= 0 || static_cast<std::size_t>(size) >= sizeof path || path[0] != '/') {
    return std::string();
  }
  return std::string(path, static_cast<std::size_t>(size));
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

bool isReplaceableFile(const std::string& target, int* error) {
  struct stat info;
  const bool exists = ::stat(target.c_str(), &info) == 0;
  int why = 0;
  if (exists && !S_ISREG(info.st_mode)) {
    why = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
  } else if ((exists && ::access(target.c_str(), W_OK) != 0) ||
             ::access(directoryPart(target).c_str(), W_OK) != 0) {
    why = errno;
  }
  if (why != 0 && error != nullptr) *error = why;
  return why == 0;
}

bool openedInside(const std::string& baseDir, int fd) {
  const std::string opened = openedPath(fd);
  return opened.empty() || isUnder(baseDir, opened);
}

}  // namespace solvarium
