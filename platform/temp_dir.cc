#include "platform/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/end_register.h"

namespace solvarium {
namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The paths of the live TempDirs. Made on first use and never destroyed: a
// thread may still end a TempDir after exit() has begun.
std::mutex liveMutex;

std::vector<std::string>& livePaths() {
  static std::vector<std::string>* const paths = new std::vector<std::string>;
  return *paths;
}

void addLive(const std::string& path) {
  const std::lock_guard<std::mutex> lock(liveMutex);
  livePaths().push_back(path);
}

void removeLive(const std::string& path) {
  const std::lock_guard<std::mutex> lock(liveMutex);
  std::vector<std::string>& paths = livePaths();
  const auto found = std::find(paths.begin(), paths.end(), path);
  if (found != paths.end()) paths.erase(found);
}

void removeTreeUntil(const std::string& path, Clock::time_point deadline) {
  if (Clock::now() >= deadline) return;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        removeTreeUntil(path + "/" + e->d_name, deadline);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace

TempDir::TempDir() {
  const char* base = std::getenv("TMP");
  if (!base || !*base) base = std::getenv("TMPDIR");
  if (!base || !*base) base = "/tmp";
  std::string tmpl = std::string(base) + "/solvarium-XXXXXX";
  const std::string failed =
      "Cannot create a temporary directory under '" + std::string(base) + "': ";
  const Making making;  // listed before the end can look
  if (!making.allowed()) {
    waitForTheEnd();
    error_ = failed + "the process is ending";
  } else if (!::mkdtemp(&tmpl[0])) {
    error_ = failed + std::strerror(errno);
  } else {
    addLive(tmpl);
    path_ = tmpl;
  }
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  removeTree(path_);
  removeLive(path_);
}

void removeTree(const std::string& path) { removeTreeUntil(path, Clock::time_point::max()); }

void removeLiveTempDirs(Clock::time_point deadline) {
  std::vector<std::string> paths;
  {
    const std::lock_guard<std::mutex> lock(liveMutex);
    paths.swap(livePaths());
  }
  for (const std::string& path : paths) {
    // A killed program may still be adding an entry: try again.
    struct stat st;
    while (Clock::now() < deadline && ::lstat(path.c_str(), &st) == 0) {
      removeTreeUntil(path, deadline);
      if (::lstat(path.c_str(), &st) == 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
    }
  }
}

}  // namespace platform
}  // namespace solvarium
