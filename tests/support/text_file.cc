#include "tests/support/text_file.h"

#include <fstream>

#include <gtest/gtest.h>

namespace solvarium_test {

void writeText(const std::string& path, const std::string& text, std::ios::openmode mode) {
  std::ofstream out(path, std::ios::binary | std::ios::out | mode);
  out << text;
  EXPECT_TRUE(out.good()) << path;
}

}  // namespace solvarium_test
