// Fixture of the Brox end-to-end tests: a real Brox service with the fake
// programs first on its PATH, the test-only run-status library, and a private
// TMP/TMPDIR so that leftover temporary files can be seen.
#ifndef SOLVARIUM_TESTS_SUPPORT_BROX_E2E_FIXTURE_H_
#define SOLVARIUM_TESTS_SUPPORT_BROX_E2E_FIXTURE_H_

#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/fake_programs.h"
#include "tests/support/harness.h"
#include "tests/support/json_check.h"

namespace solvarium_test {

class BroxE2eTest : public ServiceTest {
 protected:
  BroxE2eTest()
      : serviceTmp_(workDir().substr(0, workDir().rfind('/')) + "/service-tmp"),
        fakes_(new FakePrograms(binDir())) {
    ::mkdir(serviceTmp_.c_str(), 0755);
    fakes_->install("broxmondata");
    fakes_->install("broxstop");
    useFakeQuennet();
  }

  // Starts "-solver brox" with TMP and TMPDIR pointing at serviceTmp().
  void startService() {
    ServiceProcess::Options options = broxOptions();
    options.env["TMP"] = serviceTmp_;
    options.env["TMPDIR"] = serviceTmp_;
    ServiceProcess& svc = start(options);
    ASSERT_TRUE(svc.waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
        << svc.stdoutText();
  }

  FakePrograms& fakes() { return *fakes_; }
  const std::string& serviceTmp() const { return serviceTmp_; }

  void makeDir(const std::string& relative) {
    ASSERT_EQ(::mkdir(workFile(relative).c_str(), 0755), 0) << relative;
  }
  // Runs of the test-only run-status library, one line each:
  // "key\tname\tmulti(0|1)\tcompleted(0|1)\treason\tconfig,config".
  void setRuns(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    writeFile(workFile("fake_quennet_runs.txt"), text);
  }

  // Answer of `command`, which must succeed with a JSON document.
  std::string json(const std::string& command) {
    Outcome o = client().tryExecute(command);
    EXPECT_TRUE(o.ok) << command << "\n" << o;
    std::string error;
    EXPECT_TRUE(isValidJson(o.answer, &error)) << command << ": " << error << "\n" << o.answer;
    return o.answer;
  }

  // Runs of the monitor-data program since the last call (then forgotten).
  std::vector<std::vector<std::string>> takeMonitorCalls() {
    auto calls = fakes_->calls("broxmondata");
    fakes_->clearCalls("broxmondata");
    return calls;
  }

  // An argument vector as the program received it, with the temporary
  // output file (which must lie in a fresh directory under serviceTmp())
  // replaced by "<out>".
  std::vector<std::string> withoutOutFile(std::vector<std::string> call) {
    for (std::size_t i = 0; i + 1 < call.size(); ++i) {
      if (call[i] != "-out") continue;
      const std::string prefix = serviceTmp_ + "/";
      EXPECT_EQ(call[i + 1].compare(0, prefix.size(), prefix), 0) << call[i + 1];
      EXPECT_EQ(call[i + 1].find('/', prefix.size()) != std::string::npos, true) << call[i + 1];
      call[i + 1] = "<out>";
    }
    return call;
  }

  void expectTmpEmpty(const std::string& when) {
    EXPECT_TRUE(listDirectory(serviceTmp_).empty()) << "left in TMP after " << when;
  }

  static std::vector<std::string> sortedLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
  }

 private:
  std::string serviceTmp_;
  std::unique_ptr<FakePrograms> fakes_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_BROX_E2E_FIXTURE_H_
