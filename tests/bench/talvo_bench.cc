// Benchmark rows of the Talvo kind (part of solvarium_bench): a report file
// turned into persisted data, in MB/s, against a plain read of the same
// file, at three sizes to show the cost is linear; then the same 100 MB file
// listed through a running service over IIOP.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "common/safe_file.h"
#include "platform/temp_dir.h"
#include "solvers/talvo/talvo_report_file_reader.h"
#include "tests/support/talvo_e2e_fixture.h"

namespace solvarium_test {
namespace {

using BenchClock = std::chrono::steady_clock;

double secondsFrom(BenchClock::time_point start) {
  return std::chrono::duration<double>(BenchClock::now() - start).count();
}

// A report file of about `megabytes` MB: three columns, one row per line.
std::string reportFile(std::size_t megabytes) {
  std::string text = "\"report-file-0\"\nConvergence history\n(\"Iteration\" \"report-def-0\" \"report-def-1\")\n";
  text.reserve(megabytes * 1000000 + 100);
  char row[96];
  for (long i = 1; text.size() < megabytes * 1000000; ++i) {
    std::snprintf(row, sizeof row, "%ld %.12e %.12e\n", i, 1.0 / static_cast<double>(i),
                  static_cast<double>(i) * 0.5);
    text += row;
  }
  return text;
}

TEST(TalvoBench, ReportFileToPersistedData) {
  solvarium::platform::TempDir dir;
  ASSERT_TRUE(dir.ok());
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir.path().c_str()), 0);
  for (std::size_t megabytes : {25u, 50u, 100u}) {
    const std::string content = reportFile(megabytes);
    ASSERT_TRUE(solvarium::writeFileAtomically("report.out", content, nullptr));
    const double mb = static_cast<double>(content.size()) / 1e6;

    BenchClock::time_point start = BenchClock::now();
    std::string plain;
    ASSERT_TRUE(solvarium::readWholeFile("report.out", &plain, nullptr));
    const double readSeconds = secondsFrom(start);

    TALVO::ReportFilePosition position;
    position.currentIteration = 2000000000;
    start = BenchClock::now();
    const std::string persisted = TALVO::readReportFile("report.out", position);
    const double parseSeconds = secondsFrom(start);
    ASSERT_FALSE(persisted.empty());

    std::printf("talvo report file %6.1f MB  plain read %8.1f MB/s  persisted data %7.1f MB/s  "
                "(%.2f s, %.1fx the read, answer %.1f MB)\n",
                mb, mb / readSeconds, mb / parseSeconds, parseSeconds, parseSeconds / readSeconds,
                static_cast<double>(persisted.size()) / 1e6);
    std::fflush(stdout);
  }
  ASSERT_EQ(::chdir(previous), 0);
}

class TalvoServiceBench : public TalvoE2eTest {};

TEST_F(TalvoServiceBench, ReportFileListingOverIiop) {
  startTalvo();
  const std::string content = reportFile(100);
  writeFile(workFile("report.out"), content);
  send({"broadcast::visited:monitor-set-changed:(((name . report-file-0) (file-name . report.out)))",
        "broadcast::visited:iteration-set:2000000000"});
  const BenchClock::time_point start = BenchClock::now();
  const std::string answer = talvo().execute("aaS.list_report_files_with_persisted_data");
  const double seconds = secondsFrom(start);
  const double mb = static_cast<double>(content.size()) / 1e6;
  std::printf("talvo aaS.list_report_files_with_persisted_data %.1f MB file  %.1f MB/s  "
              "(%.2f s, answer %.1f MB)\n",
              mb, mb / seconds, seconds, static_cast<double>(answer.size()) / 1e6);
  std::fflush(stdout);
  EXPECT_TRUE(holder()->shutdown());
  EXPECT_EQ(service().waitForExit(std::chrono::seconds(60)), std::optional<int>(0));
}

}  // namespace
}  // namespace solvarium_test
