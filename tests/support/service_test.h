// The per-test fixture of the end-to-end tests: a sandbox (work/ as the
// service's working directory, bin/ first on PATH, broxbin/ as BROXBINDIR
// with linux-amd64/libQuennet.so, logs/ for stdout and stderr), a fake
// session manager, a stand-in solver, at most one service and its client.
// Set SOLVARIUM_KEEP_TEST_DIRS=1 to keep the sandbox of a failed test.
#ifndef SOLVARIUM_TESTS_SUPPORT_SERVICE_TEST_H_
#define SOLVARIUM_TESTS_SUPPORT_SERVICE_TEST_H_

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/child_process.h"
#include "tests/support/fake_session_manager.h"
#include "tests/support/service_client.h"
#include "tests/support/service_process.h"
#include "tests/support/stand_in_solver.h"
#include "tests/support/temp_dir.h"

namespace solvarium_test {

class ServiceTest : public ::testing::Test {
 protected:
  ServiceTest();
  ~ServiceTest() override;

  const std::string& workDir() const { return work_; }    // service's cwd
  const std::string& binDir() const { return bin_; }      // first on PATH
  const std::string& broxBinDir() const { return broxBin_; }  // BROXBINDIR
  const std::string& logDir() const { return logs_; }
  std::string workFile(const std::string& name) const { return work_ + "/" + name; }
  FakeSessionManager& sessionManager() { return *sessionManager_; }
  StandInSolver& solver() { return *solver_; }

  // Environment of a Brox run: PATH (bin/ first), BROXBINDIR, AAS_HOST=127.0.0.1,
  // AAS_PORTS=0, KORLEN_BROXSOLVE_PID, KORLEN_SESSION_MANAGER_SOCKET, HOME, TMP,
  // LANG=C, sanitizer options (the test process's own, else defaults with the
  // tree's suppression files). Edit before start().
  Environment broxEnvironment() const;
  ServiceProcess::Options broxOptions(const std::vector<std::string>& extraArgs = {}) const;
  // Starts a service (does not wait). Replaces any earlier one of this test,
  // which is ended first (see endService()).
  ServiceProcess& start(ServiceProcess::Options options);
  // Starts "-solver brox" with broxOptions() and waits for both key files;
  // fails the test (ADD_FAILURE with stdout) when they do not appear.
  ServiceProcess& startBrox(const std::vector<std::string>& extraArgs = {});
  ServiceProcess& service() { return *service_; }
  ServiceClient& client();
  // Points BROXBINDIR/linux-amd64/libQuennet.so at the test-only library that
  // answers from "fake_quennet_runs.txt" / "fake_quennet_fail.txt" in workDir().
  void useFakeQuennet();
  // Removes everything inside workDir() (between two starts in one test).
  void clearWorkDir();
  // Writes an executable shell script into binDir().
  void writeProgram(const std::string& name, const std::string& body);
  // Runs the solvarium-client tool in the working directory; a sanitizer
  // report in its stderr fails the test.
  ProcessResult runClient(const std::vector<std::string>& args,
                          milliseconds timeout = milliseconds(60000),
                          const std::string& stdoutPath = "");

 private:
  // Kills the service when still running, then fails the test when its stderr
  // holds a sanitizer report (one printed at shutdown or exit included) and
  // prints its output when the test has failed.
  void endService();

  std::unique_ptr<TempDir> root_;
  std::string work_, bin_, broxBin_, logs_;
  std::unique_ptr<FakeSessionManager> sessionManager_;
  std::unique_ptr<StandInSolver> solver_;
  std::unique_ptr<ServiceProcess> service_;
  std::unique_ptr<ServiceClient> client_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_SERVICE_TEST_H_
