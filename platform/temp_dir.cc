#include "platform/temp_dir.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace solvarium {
namespace platform {

TempDir::TempDir() {
  const char* base = std::getenv("TMP");
  if (!base || !*base) base = std::getenv("TMPDIR");
  if (!base || !*base) base = "/tmp";
  std::string tmpl = std::string(base) + "/solvarium-XXXXXX";
  if (::mkdtemp(&tmpl[0])) {
    path_ = tmpl;
  } else {
    error_ = "Cannot create a temporary directory under '" + std::string(base) + "': " + std::strerror(errno);
  }
}

TempDir::~TempDir() {
  if (!path_.empty()) removeTree(path_);
}

void removeTree(const std::string& path) {
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    if (DIR* dir = ::opendir(path.c_str())) {
      while (struct dirent* e = ::readdir(dir)) {
        if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
        removeTree(path + "/" + e->d_name);
      }
      ::closedir(dir);
    }
    ::rmdir(path.c_str());
  } else {
    ::unlink(path.c_str());
  }
}

}  // namespace platform
}  // namespace solvarium
