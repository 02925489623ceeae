#include "tests/support/temp_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/files.h"

namespace solvarium_test {

TempDir::TempDir(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  const std::string base = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
  std::string name = base + "/" + prefix + "-XXXXXX";
  if (mkdtemp(&name[0]) == nullptr) {
    error_ = "cannot make a directory under " + base + ": " + std::strerror(errno);
    return;
  }
  char* real = realpath(name.c_str(), nullptr);
  path_ = real != nullptr ? real : name;
  std::free(real);
}

TempDir::~TempDir() {
  if (path_.empty()) return;
  const bool failed = ::testing::UnitTest::GetInstance()->current_test_info() != nullptr &&
                      ::testing::Test::HasFailure();
  if (failed && std::getenv("SOLVARIUM_KEEP_TEST_DIRS") != nullptr) {
    std::fprintf(stderr, "keeping test directory %s\n", path_.c_str());
    return;
  }
  removeTree(path_);
}

void removeTree(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return;
  if (S_ISDIR(st.st_mode)) {
    chmod(path.c_str(), 0700);
    for (const std::string& name : listDirectory(path)) removeTree(path + "/" + name);
    rmdir(path.c_str());
  } else {
    unlink(path.c_str());
  }
}

}  // namespace solvarium_test
