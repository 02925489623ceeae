// POSIX twin of _tempnam: a private temporary directory, removed with its
// contents when the object goes out of scope.
#ifndef SOLVARIUM_PLATFORM_TEMP_DIR_H_
#define SOLVARIUM_PLATFORM_TEMP_DIR_H_

#include <chrono>
#include <string>

namespace solvarium {
namespace platform {

// Every live TempDir is listed, so that the end of the process removes it
// (removeLiveTempDirs()).
class TempDir {
 public:
  // Creates the directory with mkdtemp under $TMP, else $TMPDIR, else /tmp.
  // Once the end of the process has begun (end_register.h), none is made:
  // the calling thread waits for the end.
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string error_;
};

// Removes a directory tree (no symlink is followed). Errors are ignored.
void removeTree(const std::string& path);

// Removes every live TempDir's tree, giving up at `deadline`. For the end of
// the process, once its end has begun and its programs have ended.
void removeLiveTempDirs(std::chrono::steady_clock::time_point deadline);

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_TEMP_DIR_H_
