// A strict JSON syntax check (RFC 8259) for tests that must prove an answer
// is a document any JSON parser reads.
#ifndef SOLVARIUM_TESTS_SUPPORT_JSON_CHECK_H_
#define SOLVARIUM_TESTS_SUPPORT_JSON_CHECK_H_

#include <string>

namespace solvarium_test {

// True when `text` is exactly one JSON value, surrounded by whitespace at
// most, its strings valid UTF-8. Otherwise false, with `error` (when not
// null) naming the offset.
bool isValidJson(const std::string& text, std::string* error = nullptr);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_JSON_CHECK_H_
