// End-to-end harness: runs the real Solvarium as a child process on 127.0.0.1
// and talks IIOP to it from the test process.
//
// Usage summary:
//   class MyTest : public solvarium_test::ServiceTest {};        // fixture
//   TEST_F(MyTest, X) {
//     ServiceProcess& svc = startBrox();             // Brox run, keys awaited
//     EXPECT_EQ(client().execute("aaS.get_status"), "...");
//     Outcome o = client().tryExecute("aaS.bogus");  // exception as data
//     EXPECT_EQ(o.exception, "EUnknown"); EXPECT_EQ(o.member("code"), "1");
//     sessionManager().received();                   // bytes the service sent
//     solver().kill(); svc.waitForExit(seconds(70)); // exit code or nullopt
//     runClient({"instant_aaS_BROXSolvarium.txt", "solver-unit", "getSolverId"});
//   }
// Every test gets its own sandbox (work/, bin/ first on PATH, broxbin/ as
// BROXBINDIR with linux-amd64/libQuennet.so, logs/ for stdout and stderr).
// Set SOLVARIUM_KEEP_TEST_DIRS=1 to keep the sandbox of a failed test.
// A sanitizer report in the stderr of the service (read once it has ended or
// been killed) or of the client tool fails the test.
//
// Thread rule: one fixture per test thread; the ORB is shared by the whole
// test process and is made once (see testOrb()).
#ifndef SOLVARIUM_TESTS_SUPPORT_HARNESS_H_
#define SOLVARIUM_TESTS_SUPPORT_HARNESS_H_

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace solvarium_test {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Environment of a child process: name -> value. Only what is listed is passed.
using Environment = std::map<std::string, std::string>;

// Polls cond every `step` until it holds or `timeout` passes; returns cond().
bool waitUntil(const std::function<bool()>& cond, milliseconds timeout,
               milliseconds step = milliseconds(20));

// ---- fake session manager ----------------------------------------------
// Listens on 127.0.0.1:<ephemeral>, accepts one connection and records every
// byte received on it. A background thread does the work until destruction.
class FakeSessionManager {
 public:
  FakeSessionManager();
  ~FakeSessionManager();
  FakeSessionManager(const FakeSessionManager&) = delete;
  FakeSessionManager& operator=(const FakeSessionManager&) = delete;
  int port() const { return port_; }
  std::string address() const;  // "127.0.0.1:<port>", the variable's value
  bool accepted() const { return accepted_; }
  bool connectionOpen() const { return accepted_ && !peerClosed_; }  // peer has not closed
  std::string received() const;
  // Waits until at least `count` bytes have arrived.
  bool waitForBytes(size_t count, milliseconds timeout) const;

 private:
  void run();
  int listenFd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<bool> accepted_{false};
  std::atomic<bool> peerClosed_{false};
  mutable std::mutex mutex_;
  std::string bytes_;  // guarded by mutex_
  std::thread thread_;
};

// ---- stand-in solver ----------------------------------------------------
// A child process that sleeps until killed; its pid goes into
// KORLEN_BROXSOLVE_PID. kill() ends and reaps it (it is then gone, not a zombie).
// Like every process the harness starts, it is killed when the thread that
// started it ends.
class StandInSolver {
 public:
  StandInSolver();
  ~StandInSolver();
  StandInSolver(const StandInSolver&) = delete;
  StandInSolver& operator=(const StandInSolver&) = delete;
  pid_t pid() const { return pid_; }
  std::string pidText() const { return std::to_string(pid_); }
  bool alive() const { return pid_ > 0; }
  void kill();

 private:
  pid_t pid_ = -1;
};

// ---- child processes ----------------------------------------------------
struct ProcessResult {
  int exitCode = -1;        // exit status, or 128 + signal
  bool timedOut = false;    // killed after the timeout
  std::string out;          // stdout
  std::string err;          // stderr
};

// The report that a sanitizer (AddressSanitizer, LeakSanitizer,
// UndefinedBehaviorSanitizer, ThreadSanitizer) printed into a child's stderr,
// from its first line on; "" when there is none.
std::string sanitizerReport(const std::string& stderrText);

// Runs a program with an argument vector (argv[0] included), an explicit
// environment and a working directory; no shell. Bounded by `timeout`.
// Standard output goes to `stdoutPath` when given (`out` stays empty).
ProcessResult runProgram(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& cwd, milliseconds timeout = milliseconds(60000),
                         const std::string& stdoutPath = "");

// A running Solvarium. Output goes to files; the process is killed and reaped
// by the destructor when still running, and by the kernel when the thread
// that started it ends (the test binary aborting included).
class ServiceProcess {
 public:
  struct Options {
    std::string program = SOLVARIUM_BINARY;  // file to execute
    std::vector<std::string> argv;           // full vector; argv[0] defaults to program
    Environment env;                         // complete environment
    std::string workDir;                     // working directory
    std::string logDir;                      // receives stdout.txt and stderr.txt
  };
  explicit ServiceProcess(Options options);
  ~ServiceProcess();
  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  pid_t pid() const { return pid_; }
  const Options& options() const { return options_; }
  std::string stdoutText() const;
  std::string stderrText() const;
  // True once each named file in the working directory holds a whole IOR
  // ("IOR:" and hex digits, no partial write); false when the process exits
  // first or the timeout passes.
  bool waitForKeyFiles(const std::vector<std::string>& names,
                       milliseconds timeout = milliseconds(20000));
  // Waits until stdout contains `text`.
  bool waitForStdout(const std::string& text, milliseconds timeout);
  bool running();
  // Exit code (128 + signal when killed by one), or nullopt on timeout.
  std::optional<int> waitForExit(milliseconds timeout);
  void kill();  // SIGKILL and reap

 private:
  bool reap(bool block);
  Options options_;
  pid_t pid_ = -1;
  std::optional<int> exitCode_;
};

// ---- IIOP client ---------------------------------------------------------
// The process-wide client ORB ("omniORB4", giopMaxMsgSize 4294967295, UTF-8,
// 10 s connect and 60 s call time-outs), made on first use.
CORBA::ORB_ptr testOrb();

// An exception (or an answer) as plain data.
struct Outcome {
  bool ok = false;
  std::string answer;                         // the result when ok
  std::string exception;                      // "EUnknown", "EKorlenUnknown", "CORBA::UNKNOWN", ...
  std::string repositoryId;                   // "IDL:..." of the exception
  std::map<std::string, std::string> members; // member name -> value as text
  std::string member(const std::string& name) const;
};
// Describes any CORBA exception: generic, Instant, BROXInstant, AAS_CORBA,
// system exceptions ("CORBA::<NAME>", members "minor" and "completed").
Outcome describe(const CORBA::Exception& e);
// Runs f and turns its result or its exception into an Outcome.
Outcome capture(const std::function<std::string()>& f);
std::ostream& operator<<(std::ostream& os, const Outcome& o);
// Success when o is the named exception and every listed member has exactly
// the listed value (other members are not looked at):
//   EXPECT_TRUE(isException(o, "EUnknown", {{"code", "1"}, {"scope", "x"}}));
::testing::AssertionResult isException(const Outcome& o, const std::string& name,
                                       const std::map<std::string, std::string>& members = {});

// Client of one running service, from its key files in the working directory.
class ServiceClient {
 public:
  ServiceClient(std::string workDir, std::string keyFile = "aaS_BROXSolvarium.txt",
                std::string instantKeyFile = "instant_aaS_BROXSolvarium.txt");
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var solverUnit();
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting();
  KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var fileSystem();
  AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var broxUnit();
  // executeToString on the scripting object; exceptions propagate.
  std::string execute(const std::string& command);
  // Same, but the exception comes back as data.
  Outcome tryExecute(const std::string& command);
  // executeCommandToString on the Brox unit (the solver side's road in).
  std::string broxCommand(const std::string& command);
  Outcome tryBroxCommand(const std::string& command);
  // A broadcast from the solver side: addGenericExceptionMessage("broadcast::" + text).
  void broadcast(const std::string& eventAndPayload);
  std::string keyPath() const { return workDir_ + "/" + keyFile_; }
  std::string instantKeyPath() const { return workDir_ + "/" + instantKeyFile_; }

 private:
  CORBA::Object_ptr objectFromFile(const std::string& path);
  std::string workDir_;
  std::string keyFile_;
  std::string instantKeyFile_;
};

// Type id inside an IOR text ("IOR:" + hex CDR encapsulation); "" when malformed.
std::string iorTypeId(const std::string& ior);
// Host, port and object key of the first IIOP profile of an IOR; port 0 when
// there is none.
struct IiopAddress {
  std::string host;
  int port = 0;
  std::string objectKey;
};
IiopAddress iorAddress(const std::string& ior);
// A TCP port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

// ---- the per-test fixture -------------------------------------------------
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

#endif  // SOLVARIUM_TESTS_SUPPORT_HARNESS_H_
