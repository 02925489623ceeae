// The minute tick's auto-save, and the monitor save through the servant's
// interpreter: a failing save keeps the previous file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "AAS_CORBA.hh"
#include "common/safe_file.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_servant.h"
#include "solvers/brox/brox_will.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_programs.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"
#include "tests/unit/brox_servant_fixture.h"

namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
using solvarium_test::expectThrow;

TEST(BroxMinuteTickTest, SavesWhenThePeriodIsReached) {
  std::vector<std::string> commands;
  const BROX::CommandRunner run = [&](const std::string& command) {
    commands.push_back(command);
    return std::string("saved");
  };
  int32_t tick = 0;
  std::vector<int32_t> counts;
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(BROX::tickOneMinute(&tick, 3, run), "");
    counts.push_back(tick);
  }
  EXPECT_EQ(counts, (std::vector<int32_t>{1, 2, 0, 1}));
  EXPECT_EQ(commands,
            (std::vector<std::string>{"aaS.save_report_plots_with_persisted_data monitor.json"}));

  // Period 1: every tick saves. A period lowered below the count saves at once.
  tick = 0;
  BROX::tickOneMinute(&tick, 1, run);
  EXPECT_EQ(tick, 0);
  tick = 5;
  BROX::tickOneMinute(&tick, 2, run);
  EXPECT_EQ(tick, 0);
  EXPECT_EQ(commands.size(), 3u);
}

TEST(BroxMinuteTickTest, AFailingSaveIsReportedNotRaised) {
  int32_t tick = 0;
  const BROX::CommandRunner scriptError = [](const std::string&) -> std::string {
    throw Exc::EInstantScriptError(1, "c", "Cannot write output file monitor.json", "");
  };
  EXPECT_NO_THROW(BROX::tickOneMinute(&tick, 1, scriptError));
  const BROX::CommandRunner other = [](const std::string&) -> std::string {
    throw std::runtime_error("broken");
  };
  EXPECT_NO_THROW(BROX::tickOneMinute(&tick, 1, other));
}

// One servant for the suite (once activated it stays in the POA), the test
// run-status library and an empty working directory.
class BroxMonitorSaveTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    workDir_ = new solvarium_test::TempDir();
    char cwd[PATH_MAX];
    oldCwd_ = ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    ASSERT_EQ(::chdir(workDir_->path().c_str()), 0);
    std::string binDir = FAKE_QUENNET_LIBRARY;
    binDir = binDir.substr(0, binDir.rfind('/'));
    binDir = binDir.substr(0, binDir.rfind('/'));
    BROX::TEST_resetQuennetBinding();
    servant_ = new BROX::CBROXSolvarium(brox_test::servantOrb(),
                                        solvarium::Environment({{"BROXBINDIR", binDir}}));
  }
  static void TearDownTestSuite() {
    BROX::TEST_resetQuennetBinding();
    if (::chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    delete workDir_;
  }
  void SetUp() override {
    if (!brox_test::exists(FAKE_QUENNET_LIBRARY))
      GTEST_SKIP() << "test run-status library not built";
    ::unlink("fake_quennet_fail.txt");
  }

  std::string answer(const std::string& command) {
    CORBA::String_var text = servant_->runCommand(command.c_str());
    return text.in();
  }
  std::string saveError(const std::string& command) {
    const auto e = expectThrow<Exc::EInstantScriptError>([&] { answer(command); }, command);
    return e ? e->errorInfo.in() : "no error";
  }
  static std::string read(const std::string& path) {
    std::string data, error;
    solvarium::readWholeFile(path, &data, &error);
    return data;
  }

  static BROX::CBROXSolvarium* servant_;
  static solvarium_test::TempDir* workDir_;
  static std::string oldCwd_;
};

BROX::CBROXSolvarium* BroxMonitorSaveTest::servant_ = nullptr;
solvarium_test::TempDir* BroxMonitorSaveTest::workDir_ = nullptr;
std::string BroxMonitorSaveTest::oldCwd_;

TEST_F(BroxMonitorSaveTest, SaveWritesTheArrayAndKeepsThePreviousFileOnFailure) {
  EXPECT_EQ(answer("aaS.save_report_plots_with_persisted_data ,"),
            "JSON monitors saved in 'monitor.json'.\n");
  EXPECT_EQ(read("monitor.json"), "[\n]\n");
  EXPECT_TRUE(brox_test::parsesAsJson(read("monitor.json")));

  // A failing report-plot command: the previous file stays whole.
  brox_test::writeFile("monitor.json", "previous");
  brox_test::writeFile("fake_quennet_fail.txt", "status unavailable");
  EXPECT_EQ(saveError("aaS.save_report_plots_with_persisted_data monitor.json"),
            "status unavailable");
  EXPECT_EQ(read("monitor.json"), "previous");
  ::unlink("fake_quennet_fail.txt");

  // A read-only target cannot be opened for writing and is not replaced
  // (not checkable as root, who may write any file).
  if (::geteuid() != 0) {
    ASSERT_EQ(::chmod("monitor.json", 0444), 0);
    EXPECT_EQ(saveError("aaS.save_report_plots_with_persisted_data monitor.json"),
              "Cannot open output file name.");
    EXPECT_EQ(read("monitor.json"), "previous");
    ASSERT_EQ(::chmod("monitor.json", 0644), 0);
  }

  // A target that is a folder is left as it was, and no temporary file stays.
  brox_test::makeDir("folder.json");
  brox_test::writeFile("folder.json/inside", "x");
  EXPECT_NE(saveError("aaS.save_report_plots_with_persisted_data folder.json"), "no error");
  EXPECT_EQ(read("folder.json/inside"), "x");
  EXPECT_EQ(brox_test::entriesOf("."),
            (std::vector<std::string>{"folder.json", "monitor.json"}));
}

TEST_F(BroxMonitorSaveTest, MinuteTickSavesAfterThePeriod) {
  ::unlink("monitor.json");
  answer("aaS.set_auto_save_period_json_monitors 2");
  servant_->interpreter().TEST_setTickMinutes(0);
  answer("aaS_internal.tic_one_minute");
  EXPECT_FALSE(brox_test::exists("monitor.json"));
  answer("aaS_internal.tic_one_minute");
  EXPECT_EQ(read("monitor.json"), "[\n]\n");
  answer("aaS.set_auto_save_period_json_monitors 1");
}

}  // namespace
