#include "tests/support/files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace solvarium_test {
namespace {

// Writes `content` opened with `how`; then sets the mode when given.
void write(const std::string& path, const std::string& content, std::ios::openmode how,
           const mode_t* mode) {
  std::ofstream out(path, std::ios::binary | how);
  out << content;
  out.close();
  if (!out || (mode != nullptr && chmod(path.c_str(), *mode) != 0))
    throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
}

}  // namespace

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::string();
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

bool fileExists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void writeFile(const std::string& path, const std::string& content, mode_t mode) {
  write(path, content, std::ios::trunc, &mode);
}

void appendFile(const std::string& path, const std::string& content) {
  write(path, content, std::ios::app, nullptr);
}

std::vector<std::string> listDirectory(const std::string& dir) {
  std::vector<std::string> names;
  DIR* d = opendir(dir.c_str());
  if (!d) return names;
  while (struct dirent* e = readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(n);
  }
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace solvarium_test
