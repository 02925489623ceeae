// How the end-to-end harness finds a sanitizer report in a child's stderr.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

TEST(SanitizerReportTest, EachSanitizerIsFoundFromItsFirstLine) {
  EXPECT_EQ(sanitizerReport("Solvarium starting...\nError: runtime error\n"), "");
  for (const std::string first : {"==7==ERROR: AddressSanitizer: heap-use-after-free",
                                  "==7==ERROR: LeakSanitizer: detected memory leaks",
                                  "service/main.cc:9:5: runtime error: signed integer overflow",
                                  "WARNING: ThreadSanitizer: data race (pid=7)"}) {
    EXPECT_EQ(sanitizerReport("started\n" + first + "\n    #0 frame\n"), first + "\n    #0 frame\n");
    EXPECT_EQ(sanitizerReport(first), first);
  }
}

}  // namespace
}  // namespace solvarium_test
