// Input files of unit tests, written in one call.
#ifndef SOLVARIUM_TESTS_SUPPORT_TEXT_FILE_H_
#define SOLVARIUM_TESTS_SUPPORT_TEXT_FILE_H_

#include <ios>
#include <string>

namespace solvarium_test {

// Writes `text` to `path`, replacing the file (or appending with
// std::ios::app); a failed write fails the current test.
void writeText(const std::string& path, const std::string& text,
               std::ios::openmode mode = std::ios::trunc);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_TEXT_FILE_H_
