// Small file helpers of the tests: whole files in and out, names in a folder.
#ifndef SOLVARIUM_TESTS_SUPPORT_FILES_H_
#define SOLVARIUM_TESTS_SUPPORT_FILES_H_

#include <sys/types.h>

#include <string>
#include <vector>

namespace solvarium_test {

// The whole file; "" when it cannot be read.
std::string readFile(const std::string& path);
// True when lstat succeeds (a dangling link exists).
bool fileExists(const std::string& path);
// Replaces the file's content with `content` and gives it `mode`; appendFile
// adds to the end. Both throw std::runtime_error with the path and the cause
// when the file cannot be written.
void writeFile(const std::string& path, const std::string& content, mode_t mode = 0644);
void appendFile(const std::string& path, const std::string& content);
// Names in `dir`, sorted, without "." and ".."; none when it cannot be read.
std::vector<std::string> listDirectory(const std::string& dir);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_FILES_H_
