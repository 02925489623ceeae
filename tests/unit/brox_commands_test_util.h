// Helpers of the Brox command tests: a JSON validity check through a real
// JSON parser (jq), a scoped working directory and file set-up.
#ifndef SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_TEST_UTIL_H_
#define SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_TEST_UTIL_H_

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/process.h"
#include "tests/support/files.h"
#include "tests/support/json_check.h"
#include "tests/support/temp_dir.h"

namespace brox_test {

// True when `text` is one JSON document (the shared strict checker).
inline bool parsesAsJson(const std::string& text) { return solvarium_test::isValidJson(text); }

// Makes `dir` the working directory; restores the previous one on
// destruction.
class ScopedCwd {
 public:
  explicit ScopedCwd(const std::string& dir) {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) != nullptr) old_ = buffer;
    ok_ = ::chdir(dir.c_str()) == 0;
  }
  ~ScopedCwd() {
    if (!old_.empty() && ::chdir(old_.c_str()) != 0) std::abort();
  }
  ScopedCwd(const ScopedCwd&) = delete;
  ScopedCwd& operator=(const ScopedCwd&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

inline void makeDir(const std::string& path) { ::mkdir(path.c_str(), 0755); }

using solvarium_test::writeFile;

// Names in folder `dir` (without "." and ".."), sorted.
inline std::vector<std::string> entriesOf(const std::string& dir) {
  return solvarium_test::listDirectory(dir);
}
inline bool exists(const std::string& path) { return solvarium_test::fileExists(path); }

}  // namespace brox_test

#endif  // SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_TEST_UTIL_H_
