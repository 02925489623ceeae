// Shutdown: by the solver process going away, by ICoBROXUnit::shutdown, and
// calls from another ORB (Tcl Combat) and from the command-line client.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

class ShutdownTest : public ServiceTest {};

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

TEST_F(ShutdownTest, SolverGoneShutsTheServiceDownWithin65Seconds) {
  ServiceProcess& svc = startBrox();
  ASSERT_TRUE(sessionManager().waitForBytes(1, seconds(5)));
  solver().kill();
  auto gone = std::chrono::steady_clock::now();
  EXPECT_EQ(svc.waitForExit(seconds(75)), std::optional<int>(0)) << svc.stdoutText();
  auto took = std::chrono::duration_cast<seconds>(std::chrono::steady_clock::now() - gone);
  EXPECT_LE(took.count(), 65);
  EXPECT_TRUE(endsWith(svc.stdoutText(), "Shutting down...\n")) << svc.stdoutText();
  EXPECT_TRUE(waitUntil([&] { return !sessionManager().connectionOpen(); }, seconds(5)));
}

TEST_F(ShutdownTest, SolverGoneBeforeTheKeyIsPublishedEndsWithCode0) {
  // A listener whose accept queue is full: the service's connect hangs, so the
  // key is not published for up to 10 seconds.
  int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(listener, 0), 0);
  socklen_t len = sizeof addr;
  getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len);
  std::vector<int> fillers;
  for (int i = 0; i < 3; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    fillers.push_back(fd);
  }
  std::this_thread::sleep_for(milliseconds(200));

  ServiceProcess::Options o = broxOptions();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "127.0.0.1:" + std::to_string(ntohs(addr.sin_port));
  ServiceProcess& svc = start(o);
  ASSERT_TRUE(svc.waitForStdout("BROXSolvarium starting...", seconds(10))) << svc.stdoutText();
  const std::string pid = solver().pidText();
  solver().kill();
  auto gone = std::chrono::steady_clock::now();
  EXPECT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(0)) << svc.stdoutText();
  EXPECT_LT(std::chrono::steady_clock::now() - gone, seconds(5));
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  EXPECT_NE(svc.stderrText().find("Solver watcher: solver process " + pid + " has gone: ending the process\n"),
            std::string::npos)
      << svc.stderrText();
  for (int fd : fillers) close(fd);
  close(listener);
}

TEST_F(ShutdownTest, BroxUnitShutdownEndsTheServiceAtOnce) {
  ServiceProcess& svc = startBrox();
  EXPECT_TRUE(client().broxUnit()->shutdown());
  EXPECT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(0)) << svc.stdoutText();
  EXPECT_TRUE(endsWith(svc.stdoutText(), "Shutting down...\n")) << svc.stdoutText();
  EXPECT_TRUE(solver().alive());
  // The final save ran and did not fail.
  EXPECT_TRUE(fileExists(workFile("monitor.json")));
  EXPECT_FALSE(fileExists(workFile("aas_instant_error.txt"))) << readFile(workFile("aas_instant_error.txt"));
  EXPECT_FALSE(fileExists(workFile("instant_aas.error")));
}

TEST_F(ShutdownTest, CommandLineClientCallsEveryKindOfObject) {
  ServiceProcess& svc = startBrox();
  ProcessResult id = runClient({"instant_aaS_BROXSolvarium.txt", "solver-unit", "getSolverId"});
  EXPECT_EQ(id.exitCode, 0) << id.err;
  EXPECT_EQ(id.out, "korlen-brox\n");
  // An answer that cannot be written is a failure.
  ProcessResult full = runClient({"instant_aaS_BROXSolvarium.txt", "solver-unit", "getSolverId"},
                                 seconds(60), "/dev/full");
  EXPECT_NE(full.exitCode, 0) << full.err;

  ProcessResult bad = runClient({"instant_aaS_BROXSolvarium.txt", "script", "aaS.getenv", "A", "B"});
  EXPECT_NE(bad.exitCode, 0);
  EXPECT_NE(bad.out.find("\"errorInfo\":\"Invalid command[B]\""), std::string::npos) << bad.out;
  EXPECT_NE(bad.out.find("EScriptGenericError"), std::string::npos) << bad.out;

  writeFile(logDir() + "/local.bin", std::string("\0\1\2", 3));
  ProcessResult up = runClient({"instant_aaS_BROXSolvarium.txt", "fs", "upload",
                                logDir() + "/local.bin", "remote.bin"});
  EXPECT_EQ(up.exitCode, 0) << up.out << up.err;
  EXPECT_EQ(readFile(workFile("remote.bin")), std::string("\0\1\2", 3));

  ProcessResult stop = runClient({"aaS_BROXSolvarium.txt", "brox", "shutdown"});
  EXPECT_EQ(stop.exitCode, 0) << stop.err;
  EXPECT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(0));
}

TEST_F(ShutdownTest, ClientOfAnotherOrbCallsTheService) {
  ServiceProcess& svc = startBrox();
  client().broadcast("started:journaling");
  std::string script = std::string(SOLVARIUM_SOURCE_DIR) + "/tests/e2e/data/interop_client.tcl";
  Environment env = {{"PATH", "/usr/bin:/bin"}, {"HOME", workDir()}};
  ProcessResult tcl = runProgram({"/usr/bin/tclsh", script, "instant_aaS_BROXSolvarium.txt"}, env,
                                 workDir(), seconds(60));
  EXPECT_EQ(tcl.exitCode, 0) << tcl.out << tcl.err;
  EXPECT_NE(tcl.out.find("id=korlen-brox\n"), std::string::npos) << tcl.out << tcl.err;
  EXPECT_NE(tcl.out.find("status=journaling\nsolver-alive\n\n"), std::string::npos)
      << tcl.out << tcl.err;
  EXPECT_NE(tcl.out.find("flags=journaling solver-alive\n"), std::string::npos) << tcl.out;
  EXPECT_NE(tcl.out.find("EScriptGenericError"), std::string::npos) << tcl.out;
  EXPECT_NE(tcl.out.find("Unknown instant aaS command"), std::string::npos) << tcl.out;
  EXPECT_NE(tcl.out.find("question=IDL:KORLEN_AAS_v1_0_0/Exceptions/EReadUnquotedString:1.0"),
            std::string::npos)
      << tcl.out;
  EXPECT_TRUE(svc.running());
}

}  // namespace
}  // namespace solvarium_test
