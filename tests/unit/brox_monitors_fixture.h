// Fixture of the BroxMonitors unit tests: a sandbox working directory (the
// process's cwd during the test), fake Brox programs first on PATH, the
// test-only run-status library under broxBin(), and a private TMP/TMPDIR
// that must be empty again after every program run.
#ifndef SOLVARIUM_TESTS_UNIT_BROX_MONITORS_FIXTURE_H_
#define SOLVARIUM_TESTS_UNIT_BROX_MONITORS_FIXTURE_H_

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "AAS_CORBA.hh"
#include "common/startup_error.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"
#include "tests/support/fake_programs.h"
#include "tests/support/harness.h"
#include "tests/support/temp_dir.h"

namespace solvarium_test {

namespace BroxExc = AAS_CORBA::BROXInstant::Exceptions;

class BroxMonitorsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok()) << root_.error();
    work_ = root_.file("work");
    tmp_ = root_.file("tmp");
    broxBin_ = root_.file("broxbin");
    const std::string& broxBin = broxBin_;
    for (const std::string& dir : {work_, tmp_, broxBin, broxBin + "/linux-amd64"}) {
      ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0) << dir;
    }
    ASSERT_TRUE(fileExists(FAKE_QUENNET_LIBRARY)) << "build the fake_quennet target first";
    ASSERT_EQ(::symlink(FAKE_QUENNET_LIBRARY, (broxBin + "/linux-amd64/libQuennet.so").c_str()), 0);
    fakes_.reset(new FakePrograms(root_.file("bin")));
    fakes_->install("broxmondata");
    fakes_->install("broxstop");
    path_.reset(new ScopedPathPrepend(fakes_->binDir()));
    env_.emplace_back(new ScopedEnv("TMP", tmp_));
    env_.emplace_back(new ScopedEnv("TMPDIR", tmp_));
    char cwd[4096];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    oldCwd_ = cwd;
    ASSERT_EQ(::chdir(work_.c_str()), 0);
    BROX::TEST_resetQuennetBinding();
  }

  void TearDown() override {
    if (!oldCwd_.empty()) {
      EXPECT_EQ(::chdir(oldCwd_.c_str()), 0);
    }
    BROX::TEST_resetQuennetBinding();
  }

  FakePrograms& fakes() { return *fakes_; }
  BROX::ReportPlotWill& will() { return will_; }
  const std::string& work() const { return work_; }
  const std::string& tmp() const { return tmp_; }
  const char* broxBin() const { return broxBin_.c_str(); }  // BROXBINDIR

  // Runs of the fake run-status library: "key\tname\tmulti\tcompleted\treason\tconfigs".
  void setRuns(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    writeFile(work_ + "/fake_quennet_runs.txt", text);
  }
  void makeDir(const std::string& relative) {
    ASSERT_EQ(::mkdir((work_ + "/" + relative).c_str(), 0755), 0) << relative;
  }

  // Everything below TMP: must be empty after each operation.
  std::vector<std::string> tmpEntries() const { return listDirectory(tmp_); }

 private:
  solvarium_test::TempDir root_;
  BROX::ReportPlotWill will_;  // the monitoring object's report-plot will
  std::string work_, tmp_, broxBin_, oldCwd_;
  std::unique_ptr<FakePrograms> fakes_;
  std::unique_ptr<ScopedPathPrepend> path_;
  std::vector<std::unique_ptr<ScopedEnv>> env_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_UNIT_BROX_MONITORS_FIXTURE_H_
