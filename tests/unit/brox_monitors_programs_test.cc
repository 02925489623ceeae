// BroxMonitors: construction checks, the monitor-data run and solver
// termination, driven against fake "broxmondata" / "broxstop" programs.
#include <csignal>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "service/process_exit.h"
#include "tests/support/expect_throw.h"
#include "solvers/brox/brox_servant.h"
#include "tests/support/wait_until.h"
#include "tests/unit/brox_monitors_fixture.h"
#include "tests/unit/brox_servant_fixture.h"

namespace solvarium_test {
namespace {

using BROX::BroxMonitors;
using Call = std::vector<std::string>;

std::string text(const CORBA::String_member& member) { return static_cast<const char*>(member); }

TEST_F(BroxMonitorsTest, ConstructionChecksBroxBinDir) {
  if (const auto e = expectThrow<solvarium::StartupError>(
          [&] { BroxMonitors monitors(will(), nullptr); }, "constructed without BROXBINDIR")) {
    EXPECT_STREQ(e->what(), "BROXBINDIR environment variable is not set");
  }
  if (const auto e = expectThrow<solvarium::StartupError>(
          [&] { BroxMonitors monitors(will(), ""); }, "constructed with an empty BROXBINDIR")) {
    EXPECT_STREQ(e->what(), "BROXBINDIR environment variable is empty");
  }
  BroxMonitors monitors(will(), broxBin());
  EXPECT_EQ(monitors.binDir(), broxBin());
}

TEST_F(BroxMonitorsTest, MonitorDataRunPassesOneArgumentPerWordAndCleansUp) {
  BroxMonitors monitors(will(), broxBin());
  fakes().setOutput("plotinfo", "./my run.dir", "<Plots/>");
  fakes().setOutput("data", "./x;touch injected.res", "\"Time\"\n1\n");

  EXPECT_EQ(monitors.runMonitorData(" -plotinfo ", "./my run.dir", ".dir"), "<Plots/>");
  EXPECT_EQ(monitors.runMonitorData(" ", "./x;touch injected.res", ".res",
                                    {"-varlist", "a;touch${IFS}y", "-firsttimestep", "3"}),
            "\"Time\"\n1\n");
  fakes().setDefaultOutput("varinfo", "");
  EXPECT_EQ(monitors.runMonitorData(" -varinfo ", "./r.dir", ".other"), "");

  const std::vector<Call> calls = fakes().calls("broxmondata");
  ASSERT_EQ(calls.size(), 3u);
  const std::string out0 = FakePrograms::argumentAfter(calls[0], "-out");
  EXPECT_EQ(calls[0], (Call{"-plotinfo", "-out", out0, "-dir", "./my run.dir"}));
  EXPECT_EQ(out0.rfind(tmp() + "/", 0), 0u) << out0;
  EXPECT_NE(out0.find("brox_out_"), std::string::npos);
  const std::string out1 = FakePrograms::argumentAfter(calls[1], "-out");
  EXPECT_EQ(calls[1], (Call{"-out", out1, "-res", "./x;touch injected.res", "-varlist",
                            "a;touch${IFS}y", "-firsttimestep", "3"}));
  EXPECT_NE(out0, out1);
  EXPECT_EQ(calls[2].size(), 3u);  // "-varinfo -out <file>": an unknown form passes no path

  // Every output file and its private directory are gone; nothing was run by a shell.
  EXPECT_TRUE(tmpEntries().empty());
  EXPECT_FALSE(fileExists(work() + "/injected.res"));
  EXPECT_FALSE(fileExists(work() + "/y"));
}

TEST_F(BroxMonitorsTest, MissingOutputIsAnErrorWithDiagnostics) {
  BroxMonitors monitors(will(), broxBin());
  for (bool installed : {true, false}) {
    if (!installed) ::unlink((fakes().binDir() + "/broxmondata").c_str());
    if (const auto e = expectThrow<BroxExc::EInstantScriptError>(
            [&] { monitors.runMonitorData(" -plotinfo ", "./run 1.dir", ".dir"); },
            "no error without an output file")) {
      EXPECT_EQ(e->errorType, 1);
      EXPECT_EQ(text(e->command).rfind("broxmondata -plotinfo  -out ", 0), 0u) << text(e->command);
      EXPECT_NE(text(e->command).find(" -dir \"./run 1.dir\" "), std::string::npos);
      const std::string info = text(e->errorInfo);
      const std::string lead = installed ? "Cannot retrieve program output"
                                         : "Cannot start 'broxmondata': No such file or directory";
      EXPECT_EQ(info.rfind(lead + "\nPATH:\n" + fakes().binDir(), 0), 0u) << info;
      EXPECT_NE(info.find("\nBROXBINDIR:\n"), std::string::npos);
      // The diagnostics end the text, also when the program is missing.
      const std::string cwdLine = "\nCurrent Working Directory:\n" + work() + "\n";
      ASSERT_GE(info.size(), cwdLine.size());
      EXPECT_EQ(info.substr(info.size() - cwdLine.size()), cwdLine) << info;
      EXPECT_EQ(text(e->commandOutput), "");
    }
    EXPECT_TRUE(tmpEntries().empty());
  }
}

// A program that does not return, with a child in its group: the group is
// killed at the time limit and when the process ends, and its folder goes. A
// program that answers is ended with its group too, and SIGXFSZ is back at
// its default action in it.
TEST_F(BroxMonitorsTest, ProgramThatDoesNotReturnIsEndedWithItsGroup) {
  namespace platform = solvarium::platform;
  BroxMonitors answering(will(), broxBin());
  writeFile(fakes().binDir() + "/broxmondata",
            "#!/bin/sh\nsleep 30 &\necho $! > '" + work() + "/child'\ngrep SigIgn /proc/$$/status > '" +
                work() + "/ignored'\nwhile [ \"$1\" != -out ]; do shift; done\necho ok > \"$2\"\n",
            0755);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  EXPECT_EQ(answering.runMonitorData(" -plotinfo ", "./r.dir", ".dir"), "ok\n");
  std::signal(SIGXFSZ, previous);
  long child = 0;
  std::ifstream(work() + "/child") >> child;
  EXPECT_TRUE(child > 0 && waitUntil([&] { return !platform::isProcessAlive(child); }, seconds(2)));
  const unsigned long ignored = std::stoul(readFile(work() + "/ignored").substr(8), nullptr, 16);
  EXPECT_EQ(ignored & (1ul << (SIGXFSZ - 1)), 0u);

  const std::string pids = work() + "/group";
  const std::string runs = work() + "/runs";
  writeFile(fakes().binDir() + "/broxmondata",
            "#!/bin/sh\necho >> '" + runs + "'\nsleep 10 &\necho $$ $! > '" + pids +
                "'\nexec sleep 10\n",
            0755);
  const auto groupGone = [&] {
    long leader = 0, child = 0;
    std::ifstream(pids) >> leader >> child;
    return leader > 0 && child > 0 && waitUntil([&] {
             return !platform::isProcessAlive(leader) && !platform::isProcessAlive(child);
           }, seconds(2));
  };
  BroxMonitors monitors(will(), broxBin());
  const auto run = [&] { monitors.runMonitorData(" -plotinfo ", "./r.dir", ".dir"); };
  platform::TEST_setProgramTimeLimit(milliseconds(300));
  auto start = std::chrono::steady_clock::now();
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>(run)) {
    EXPECT_EQ(text(e->errorInfo).rfind("Cannot retrieve program output: 'broxmondata' stopped "
                                       "after 300 ms\nPATH:\n", 0), 0u) << text(e->errorInfo);
  }
  // The final save does not try again what a program's time limit ended.
  makeDir("r.dir");
  setRuns({"./r.dir\tr\t0\t0\t\t"});
  EXPECT_FALSE(BROX::CBROXSolvarium(brox_test::servantOrb(),
                                    solvarium::Environment({{"BROXBINDIR", broxBin()}}))
                   .finalSave());
  EXPECT_EQ(readFile(runs), "\n\n");
  platform::TEST_setProgramTimeLimit(platform::kProgramTimeLimit);
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(5));
  EXPECT_TRUE(groupGone());
  EXPECT_TRUE(tmpEntries().empty());

#if defined(__SANITIZE_THREAD__)
  return;  // ThreadSanitizer cannot start a thread in a forked child
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
  return;
#endif
#endif
  ASSERT_EQ(::unlink(pids.c_str()), 0);
  start = std::chrono::steady_clock::now();  // the group holds the death test's pipe
  EXPECT_EXIT(
      {
        std::thread([&] { try { run(); } catch (...) {} }).detach();
        waitUntil([&] { return readFile(pids).find('\n') != std::string::npos; }, seconds(5));
        solvarium::endProcess(solvarium::kExitNormal);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(5));
  EXPECT_TRUE(groupGone());
  EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(BroxMonitorsTest, TerminateSolverArguments) {
  BroxMonitors monitors(will(), broxBin());
  std::string out;
  if (const auto q = expectThrow<BroxExc::EInstantReadUnquotedString>([&] {
        monitors.terminateSolver(out, {"aaS.terminate_solver"}, "aaS.terminate_solver");
      })) {
    EXPECT_EQ(q->questionType, 2);
    EXPECT_EQ(text(q->questionPrompt), "Please provide the name of Brox directory");
    EXPECT_EQ(text(q->questionMessage), "");
  }
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>([&] {
        monitors.terminateSolver(out, {"aaS.terminate_solver", "a", "b"},
                                 "aaS.terminate_solver a b");
      })) {
    EXPECT_EQ(text(e->errorInfo),
              "command [aaS.terminate_solver a b] does has only one parameter, the Brox solver "
              "directory.");
  }
  if (const auto q = expectThrow<BroxExc::EInstantReadUnquotedString>([&] {
        monitors.terminateSolver(out, {"aaS.terminate_solver", "missing.dir"},
                                 "aaS.terminate_solver missing.dir");
      })) {
    EXPECT_EQ(text(q->questionPrompt), "Brox directory provided does not exist");
    EXPECT_EQ(text(q->questionMessage), "missing.dir");
  }
  EXPECT_EQ(out, "");
  EXPECT_TRUE(fakes().calls("broxstop").empty());
}

TEST_F(BroxMonitorsTest, TerminateSolverRunsTheStopProgram) {
  BroxMonitors monitors(will(), broxBin());
  makeDir("my run.dir");
  std::string out;
  monitors.terminateSolver(out, {"aaS.terminate_solver", "\"my run.dir\""},
                           "aaS.terminate_solver \"my run.dir\"");
  EXPECT_EQ(out,
            "broxstop -directory \"my run.dir\"\n"
            "Terminate solver command issued. The command will be executed at the end of "
            "current iteration\n");
  EXPECT_EQ(fakes().calls("broxstop"), (std::vector<Call>{{"-directory", "my run.dir"}}));

  // A failing stop program is not reported as issued.
  fakes().setExitCode("broxstop", 3);
  out.clear();
  auto terminate = [&] {
    monitors.terminateSolver(out, {"aaS.terminate_solver", "my run.dir"},
                             "aaS.terminate_solver my run.dir");
  };
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>(terminate)) {
    EXPECT_EQ(text(e->command), "broxstop -directory my run.dir");
    EXPECT_NE(text(e->errorInfo).find("exit code 3"), std::string::npos) << text(e->errorInfo);
  }
  EXPECT_EQ(out.find("Terminate solver command issued"), std::string::npos);

  // A stop program that cannot be started.
  ::unlink((fakes().binDir() + "/broxstop").c_str());
  {
    ScopedEnv path("PATH", fakes().binDir());
    if (const auto e = expectThrow<BroxExc::EInstantScriptError>(terminate)) {
      EXPECT_EQ(text(e->errorInfo), BroxMonitors::diagnosticText("Cannot execute program"));
    }
  }
}

TEST_F(BroxMonitorsTest, TerminateAllGoesOnAfterAFailure) {
  BroxMonitors monitors(will(), broxBin());
  makeDir("a.dir");
  makeDir("c.dir");
  makeDir("d.dir");
  writeFile(work() + "/b.res", "");
  setRuns({"./a.dir\ta\t0\t0\t\t", "./b.res\tb\t0\t0\t\t", "./c.dir\tc\t0\t1\tdone\t",
           "./d.dir\td\t0\t0\t\t"});
  std::string out;
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>(
          [&] { monitors.terminateAllSolvers(out, {"aaS.terminate"}, "aaS.terminate"); },
          "no error for the run that could not be terminated")) {
    EXPECT_EQ(text(e->command), "aaS.terminate");
    EXPECT_EQ(text(e->errorInfo), "Could not terminate ./b.res");
    EXPECT_EQ(text(e->errorInfo).find("./d.dir"), std::string::npos);
    const std::string issued =
        "Terminate solver command issued. The command will be executed at the end of current "
        "iteration\n";
    EXPECT_EQ(text(e->commandOutput), "Terminating ./a.dir ...\nbroxstop -directory ./a.dir\n" +
                                          issued + "Done!\n" + "Terminating ./b.res ...\n\n" +
                                          "Terminating ./d.dir ...\nbroxstop -directory ./d.dir\n" +
                                          issued + "Done!\n");
  }
  EXPECT_EQ(fakes().calls("broxstop"),
            (std::vector<Call>{{"-directory", "./a.dir"}, {"-directory", "./d.dir"}}));
}

TEST_F(BroxMonitorsTest, TerminateAllArgumentsAndStatus) {
  BroxMonitors monitors(will(), broxBin());
  std::string out;
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>([&] {
        monitors.terminateAllSolvers(out, {"aaS.terminate", "x"}, "aaS.terminate x");
      })) {
    EXPECT_EQ(text(e->errorInfo), "command [aaS.terminate x] has no parameters.");
  }

  setRuns({"./done.dir\tdone\t0\t1\tok\t"});
  monitors.terminateAllSolvers(out, {"aaS.terminate"}, "aaS.terminate");
  EXPECT_EQ(out, "");

  writeFile(work() + "/fake_quennet_fail.txt", "status unavailable");
  if (const auto e = expectThrow<BroxExc::EInstantScriptError>(
          [&] { monitors.terminateAllSolvers(out, {"aaS.terminate"}, "aaS.terminate"); })) {
    EXPECT_EQ(text(e->errorInfo), "status unavailable");
  }
  EXPECT_TRUE(fakes().calls("broxstop").empty());
}

}  // namespace
}  // namespace solvarium_test
