#include "common/confined_path.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>

namespace solvarium {

namespace {

// Real path of `path`, or "" (errno set) when it cannot be resolved.
std::string realPathOf(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string result(resolved);
  ::free(resolved);
  return result;
}

bool isUnder(const std::string& baseDir, const std::string& path) {
  if (path == baseDir) return true;
  if (baseDir == "/") return !path.empty() && path[0] == '/';
  return path.size() > baseDir.size() && path.compare(0, baseDir.size(), baseDir) == 0 &&
         path[baseDir.size()] == '/';
}

// Lexical test: relative, and no ".." component.
bool isPlainRelative(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  std::string::size_type start = 0;
  while (start <= name.size()) {
    std::string::size_type end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

std::string directoryPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
}

std::string lastPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

}  // namespace

PathResolution resolveInside(const std::string& baseDir, const std::string& name,
                         std::string* target) {
  if (!isPlainRelative(name)) return PathResolution::kOutside;
  const std::string joined = baseDir + "/" + name;
  struct stat info;
  if (::lstat(joined.c_str(), &info) == 0) {
    const std::string resolved = realPathOf(joined);
    if (resolved.empty()) return PathResolution::kMissing;  // dangling link
    if (!isUnder(baseDir, resolved)) return PathResolution::kOutside;
    *target = resolved;
    return PathResolution::kOk;
  }
  const std::string dir = realPathOf(baseDir + "/" + directoryPart(name));
  if (dir.empty()) return PathResolution::kMissing;
  if (!isUnder(baseDir, dir)) return PathResolution::kOutside;
  const std::string leaf = lastPart(name);
  if (leaf.empty() || leaf == "." || leaf == "..") return PathResolution::kMissing;
  *target = dir + (dir == "/" ? "" : "/") + leaf;
  return PathResolution::kOk;
}


PathResolution resolveInWorkingDirectory(const std::string& name, std::string* target) {
  const std::string base = realPathOf(".");
  if (base.empty()) return PathResolution::kMissing;
  return resolveInside(base, name, target);
}

}  // namespace solvarium
