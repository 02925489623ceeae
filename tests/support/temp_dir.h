// A fresh private directory for one test, under $TMPDIR (else /tmp), removed
// with its contents by the destructor, unless the current test failed and
// SOLVARIUM_KEEP_TEST_DIRS is set. Its path has no symbolic link in it, so
// that tests can compare it with the paths a service resolves.
#ifndef SOLVARIUM_TESTS_SUPPORT_TEMP_DIR_H_
#define SOLVARIUM_TESTS_SUPPORT_TEMP_DIR_H_

#include <string>

namespace solvarium_test {

class TempDir {
 public:
  explicit TempDir(const std::string& prefix = "solvarium-test");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // False (with the reason in error()) when the directory could not be made.
  bool ok() const { return !path_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string error_;
};

// Removes a directory tree without following links, making each folder
// walkable first (a test may have taken its permissions away).
void removeTree(const std::string& path);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_TEMP_DIR_H_
