#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>

#include "common/safe_file.h"
#include "service/solver_process_checker.h"
#include "service/watcher_buffers.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/udf/udf_description_handler.h"
#include "solvers/udf/udf_kind.h"
#include "tests/support/joined_threads.h"
#include "tests/support/temp_dir.h"

namespace solvarium {
namespace {

TEST(SharedTextTest, ReaderSeesNothingOrTheWholeText) {
  SharedText text;
  EXPECT_TRUE(text.empty());
  const std::string longKey(10000, 'k');  // longer than any fixed buffer
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  solvarium_test::JoinedThreads reader([&] { done.store(true); });
  reader.start([&] {
    while (!done.load()) {
      const std::string seen = text.get();
      if (!seen.empty() && seen != longKey && seen != "short") ++torn;
    }
  });
  for (int i = 0; i < 2000; ++i) text.set(i % 2 ? longKey : "short");
  reader.join();
  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(text.get(), longKey);  // the last text set
}

TEST(SharedTextTest, ProcessWideHoldersAreDistinct) {
  solverUnitKeyBuffer().set("IOR:1");
  solverPidBuffer().clear();
  EXPECT_EQ(solverUnitKeyBuffer().get(), "IOR:1");
  EXPECT_TRUE(solverPidBuffer().empty());
  solverUnitKeyBuffer().clear();
}

class BroxPidCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    ASSERT_NE(getcwd(old_, sizeof old_), nullptr);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
  }
  void TearDown() override { ASSERT_EQ(chdir(old_), 0); }
  // The environment read at start-up, with KORLEN_BROXSOLVE_PID set to `pid`.
  static Environment brox(const std::string& pid) {
    return Environment({{"KORLEN_BROXSOLVE_PID", pid}});
  }
  // The start-up check of the Brox kind's watcher rule.
  static void checkBrox(const Environment& environment) {
    CSolverProcessChecker checker(BROX::broxKind().watch);
    checker.checkProcessId({0, nullptr, environment}, nullptr);
  }
  std::string errorFile() {
    std::string text, error;
    readWholeFile(dir_.file("brox_instant_aas_error.txt"), &text, &error);
    return text;
  }
  solvarium_test::TempDir dir_;
  char old_[4096];
};

TEST_F(BroxPidCheckTest, MissingOrInvalidPidEndsWithCodeOneAndAnErrorFile) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this working directory
  EXPECT_EXIT(checkBrox(Environment()), ::testing::ExitedWithCode(1), "");
  EXPECT_EQ(errorFile(), "Error retrieving BROX pid.\nKORLEN_BROXSOLVE_PID is not set.\n");

  for (const char* bad : {"0", "-3", "abc", "x12", "99999999999", ""}) {
    EXPECT_EXIT(checkBrox(brox(bad)), ::testing::ExitedWithCode(1), "") << bad;
  }
  const std::string text = errorFile();
  EXPECT_NE(text.find("KORLEN_BROXSOLVE_PID (abc) is not a valid process id.\n"), std::string::npos);
  EXPECT_NE(text.find("KORLEN_BROXSOLVE_PID (99999999999) is not"), std::string::npos);
}

TEST_F(BroxPidCheckTest, ValidPidPasses) {
  checkBrox(brox(std::to_string(getpid())));
  EXPECT_EQ(errorFile(), "");
}

TEST_F(BroxPidCheckTest, UdfPidFromTheDescription) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this working directory
  const Environment environment;
  AAS_UDF::CAasUdfXmlHandler description(environment);
  description.solverPid = "x1";
  CSolverProcessChecker checker(AAS_UDF::udfKind().watch);
  EXPECT_EXIT(checker.checkProcessId({}, &description), ::testing::ExitedWithCode(1), "");
  std::string text, error;
  readWholeFile(dir_.file("aas_udf_instant_aas_error.txt"), &text, &error);
  EXPECT_EQ(text,
            "the pid provided through the configuration file environment variable is invalid (x1)\n");
  description.solverPid = std::to_string(getpid());
  checker.checkProcessId({}, &description);
}

}  // namespace
}  // namespace solvarium
