// JSON validity check for the Brox command tests: the text is handed to a
// real JSON parser (jq).
#ifndef SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_JSON_CHECK_H_
#define SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_JSON_CHECK_H_

#include <unistd.h>

#include <fstream>
#include <string>

#include "platform/process.h"
#include "platform/temp_dir.h"

namespace brox_test {

// True when jq parses `text` as JSON; true as well (nothing to check with)
// when jq is not installed.
inline bool parsesAsJson(const std::string& text) {
  const char* jq = "/usr/bin/jq";
  if (::access(jq, X_OK) != 0) return true;
  solvarium::platform::TempDir dir;
  const std::string file = dir.file("answer.json");
  std::ofstream(file, std::ios::binary) << text;
  const auto result = solvarium::platform::runProgram({jq, "empty", file});
  return result.started && result.exitCode == 0;
}

}  // namespace brox_test

#endif  // SOLVARIUM_TESTS_UNIT_BROX_COMMANDS_JSON_CHECK_H_
