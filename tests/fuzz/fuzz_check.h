// Helpers shared by the libFuzzer targets: a property failure aborts with the
// failing texts, so libFuzzer records the input as a crash.
#ifndef SOLVARIUM_TESTS_FUZZ_FUZZ_CHECK_H_
#define SOLVARIUM_TESTS_FUZZ_FUZZ_CHECK_H_

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/json_check.h"

namespace solvarium_fuzz {

[[noreturn]] inline void propertyFailed(const std::string& what, const std::string& detail) {
  std::fprintf(stderr, "PROPERTY FAILED: %s\n%s\n", what.c_str(), detail.c_str());
  std::abort();
}

inline void check(bool holds, const std::string& what, const std::string& detail = "") {
  if (!holds) propertyFailed(what, detail);
}

// `text` must be one JSON document.
inline void checkJson(const std::string& text, const std::string& what) {
  std::string error;
  if (!solvarium_test::isValidJson(text, &error)) propertyFailed(what + ": " + error, text);
}

}  // namespace solvarium_fuzz

#endif  // SOLVARIUM_TESTS_FUZZ_FUZZ_CHECK_H_
