// The minute tick's auto-save, and the monitor save through the servant's
// interpreter: a failing save keeps the previous file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "AAS_CORBA.hh"
#include "common/safe_file.h"
#include "service/servant_poa.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_servant.h"
#include "solvers/instant_kind.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_programs.h"
#include "tests/support/joined_threads.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"
#include "tests/unit/brox_servant_fixture.h"

namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
using solvarium_test::expectThrow;

TEST(BroxMinuteTickTest, SavesWhenThePeriodIsReached) {
  int saves = 0;
  const auto save = [&] { ++saves; };
  const auto report = [] { ADD_FAILURE() << "reported"; };
  int32_t tick = 0;
  std::vector<int32_t> counts;
  for (int i = 0; i < 4; ++i) {
    solvarium::tickAutoSave(&tick, 3, save, report);
    counts.push_back(tick);
  }
  EXPECT_EQ(counts, (std::vector<int32_t>{1, 2, 0, 1}));
  EXPECT_EQ(saves, 1);

  // Period 1: every tick saves. A period lowered below the count saves at once.
  tick = 0;
  solvarium::tickAutoSave(&tick, 1, save, report);
  EXPECT_EQ(tick, 0);
  tick = 5;
  solvarium::tickAutoSave(&tick, 2, save, report);
  EXPECT_EQ(tick, 0);
  EXPECT_EQ(saves, 3);
}

TEST(BroxMinuteTickTest, AFailingSaveIsReportedNotRaised) {
  int32_t tick = 0;
  int reports = 0;
  const auto report = [&] { ++reports; };
  EXPECT_NO_THROW(solvarium::tickAutoSave(
      &tick, 1,
      [] { throw Exc::EInstantScriptError(1, "c", "Cannot write output file monitor.json", ""); },
      report));
  EXPECT_NO_THROW(solvarium::tickAutoSave(
      &tick, 1, [] { throw std::runtime_error("broken"); }, report));
  EXPECT_EQ(reports, 2);
  EXPECT_EQ(tick, 0);
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
    CORBA::String_var text =
        servant_->run(command.c_str(), BROX::CBROXSolvarium::Raises::kKindModule);
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

// The final save takes the servants' lock like every command: it waits for
// the request in progress instead of running beside it.
TEST_F(BroxMonitorSaveTest, TheFinalSaveWaitsForTheRequestInProgress) {
  ::unlink("monitor.json");
  std::atomic<bool> saved{false};
  std::unique_lock<std::recursive_mutex> request(solvarium::servantCallMutex());
  solvarium_test::JoinedThreads threads([&] {
    if (request.owns_lock()) request.unlock();
  });
  threads.start([&] {
    servant_->finalSave();
    saved = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(saved);
  EXPECT_FALSE(brox_test::exists("monitor.json"));
  threads.join();
  EXPECT_TRUE(saved);
  EXPECT_EQ(read("monitor.json"), "[\n]\n");
}

TEST_F(BroxMonitorSaveTest, MinuteTickSavesAfterThePeriod) {
  answer("aaS.set_auto_save_period_json_monitors 1");  // the next tick saves and counts from 0
  EXPECT_EQ(answer("aaS_internal.tic_one_minute"), "");
  ::unlink("monitor.json");
  answer("aaS.set_auto_save_period_json_monitors 2");
  answer("aaS_internal.tic_one_minute");
  EXPECT_FALSE(brox_test::exists("monitor.json"));
  answer("aaS_internal.tic_one_minute");
  EXPECT_EQ(read("monitor.json"), "[\n]\n");
  answer("aaS.set_auto_save_period_json_monitors 1");
}

}  // namespace
