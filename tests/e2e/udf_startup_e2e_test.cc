// Start-up of the UDF kind: every description fault and every Python
// start-up fault ends the process with exit code 1, its printed text and its
// error file; the watcher follows the solver's process id; a stop while a
// macro never returns ends at the deadline.
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "platform/sanitized_build.h"
#include "tests/support/joined_threads.h"
#include "tests/support/udf_e2e_fixture.h"

namespace solvarium_test {
namespace {

class UdfStartupTest : public UdfE2eTest {
 protected:
  // Runs the service to its end; expects exit code 1.
  ServiceProcess& runToFailure(ServiceProcess::Options options) {
    ServiceProcess& svc = start(options);
    EXPECT_EQ(svc.waitForExit(seconds(20)), std::optional<int>(1)) << svc.stdoutText();
    EXPECT_FALSE(fileExists(workFile("aaSUdf_Id.txt")));
    return svc;
  }
  std::string pidFile(const std::string& prefix) {
    return workFile(prefix + std::to_string(service().pid()) + ".txt");
  }
};

TEST_F(UdfStartupTest, DescriptionFaultsEndWithCode1) {
  struct Case {
    std::string name;
    std::string description;  // "" writes no description file
    std::string printed;      // exact stdout
    std::string logged;       // exact text of the error file
    bool toUdfErrorFile;      // "aas_udf_error.txt" instead of "3p_aas_error_<pid>.txt"
  };
  const std::string info = solverInfo();
  auto described = [](const std::string& body) {
    return "<aasSolver><solverInfo>" + body + "</solverInfo></aasSolver>";
  };
  const std::vector<Case> cases = {
      {"no file", "", "Error reading configuration file!<aas_udf_instant.xml>\n",
       "Error reading configuration file!<aas_udf_instant.xml>\n", false},
      {"defaultIo", described(info + "<defaultIo/>"), "",
       "Error! defaultIo is not supported in this version of 3P aaS\n", false},
      {"type attribute",
       "<aasSolver><solverInfo>" + info +
           "</solverInfo><aasCommand command=\"aaS.a\" type=\"x\">a</aasCommand></aasSolver>",
       "", "Error! Type attribute is not supported in this version of 3P aaS\n", false},
      {"unset variable",
       described("<solverName format=\"environment_variable\">UDF_NOPE</solverName>"),
       "Error! Could not access UDF_NOPE environment variable\n",
       "Error! Could not access UDF_NOPE environment variable\n", false},
      {"missing file", described("<solverName format=\"filename\"> name.txt</solverName>"),
       "Error! Could not open  name.txt\n", "Error! Could not open  name.txt\n", false},
      {"directory", described("<solverName format=\"filename\">adir</solverName>"),
       "Error! Could not open adir\n", "Error! Could not open adir\n", false},
      {"unknown storage", described("<solverName format=\"Explicit\">x</solverName>"),
       "Error! Unknown storage (Explicit)\n. Expected (explicit), (environment_variable) or "
       "(filename).",
       "Error! Unknown storage (Explicit)\n. Expected (explicit), (environment_variable) or "
       "(filename).",
       true},
      {"self reference", described("<solverName>a{$UDF_SELF}</solverName>"),
       "Error! Placeholders in a{$UDF_SELF} do not resolve within 64 substitutions\n",
       "Error! Placeholders in a{$UDF_SELF} do not resolve within 64 substitutions\n", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearWorkDir();
    ASSERT_EQ(::mkdir(workFile("adir").c_str(), 0755), 0);
    if (!c.description.empty()) writeFile(workFile("aas_udf_instant.xml"), c.description);
    ServiceProcess::Options o = udfOptions();
    o.env["UDF_SELF"] = "{$UDF_SELF}";
    ServiceProcess& svc = runToFailure(o);
    EXPECT_EQ(svc.stdoutText(), c.printed);
    EXPECT_EQ(readFile(c.toUdfErrorFile ? workFile("aas_udf_error.txt")
                                        : pidFile("3p_aas_error_")),
              c.logged);
    // One stderr line: the fault's first line, and the file to fix.
    const std::string first = c.logged.substr(0, c.logged.find('\n'));
    const std::string advice =
        c.description.empty()
            ? "write the UDF description there, or name it with -aas-config-file <file>\n"
            : ": " + first + ": fix the UDF description 'aas_udf_instant.xml'\n";
    EXPECT_NE(svc.stderrText().find(advice), std::string::npos) << svc.stderrText();
  }

  // A parse failure: the parser's exception, printed and logged; its reason on stderr.
  clearWorkDir();
  writeFile(workFile("aas_udf_instant.xml"), "<aasSolver><solverInfo>");
  ServiceProcess& svc = runToFailure(udfOptions());
  EXPECT_EQ(svc.stdoutText().rfind("ERROR: Configuration file parse exception:\n", 0), 0u)
      << svc.stdoutText();
  EXPECT_EQ(readFile(pidFile("3p_aas_error_")), svc.stdoutText());
  EXPECT_NE(svc.stderrText().find("Start-up failed: the XML does not parse: XML document is not "
                                  "well-formed (line 1, column 24): no element found: fix the "
                                  "UDF description 'aas_udf_instant.xml'\n"),
            std::string::npos)
      << svc.stderrText();

  // Process ids that are no process's: the watcher's line and exit code 1;
  // an unset variable is named on stderr.
  for (const std::string pid : {"0", "-4", "99999999999", "x12", "", "{$UDF_SOLVER_PID}"}) {
    SCOPED_TRACE(pid);
    clearWorkDir();
    writeDescription(solverInfo({{"solverPid", "<solverPid>" + pid + "</solverPid>"}}), "");
    writeMain("");
    ServiceProcess& failed = runToFailure(udfOptions());
    EXPECT_EQ(readFile(workFile("aas_udf_instant_aas_error.txt")),
              "the pid provided through the configuration file environment variable is invalid (" +
                  pid + ")\n");
    const std::string advice = pid[0] == '{' ? "': set UDF_SOLVER_PID to the solver's process id\n"
                                             : "', no process id: make <solverPid> there";
    EXPECT_NE(failed.stderrText().find("Start-up failed: the solverPid of 'aas_udf_instant.xml' is '" +
                                       pid + advice),
              std::string::npos)
        << failed.stderrText();
  }
}

TEST_F(UdfStartupTest, PythonStartFaultsEndWithCode1) {
  struct Case {
    std::string name;
    std::map<std::string, std::string> info;
    std::string main;
    std::string command;   // of the start-up error
    std::string info0;     // start of its errorInfo
    std::string output;    // its commandOutput
    std::string logged;    // start of the error file's text
  };
  const std::string longHome(5000, 'h');
  const std::vector<Case> cases = {
      {"no home", {{"pythonHome", ""}}, "", "initialize Python environment",
       "ERROR: pythonHome not specified in xml configuration file", "",
       "ERROR: pythonHome not specified in xml configuration file\n"},
      {"no library", {{"pythonDllFile", ""}}, "", "initialize Python environment",
       "ERROR: pythonDllFile file not specified in xml configuration file", "",
       " does not exist\n"},
      {"no main file", {{"pythonMainFile", ""}}, "", "initialize Python environment",
       "ERROR: mainPythonFile file not specified in xml configuration file", "",
       "ERROR: mainPythonFile file not specified in xml configuration file\n"},
      {"home too long", {{"pythonHome", "<pythonHome>" + longHome + "</pythonHome>"}}, "",
       "initialize Python environment", "ERROR: pythonHome is longer than 4095 characters", "",
       "ERROR: pythonHome is longer than 4095 characters\n"},
      {"missing library", {{"pythonDllFile", "<pythonDllFile>/no/libpython.so</pythonDllFile>"}},
       "", "initialize Python environment", "ERROR: Cannot find Python DLL file",
       "/no/libpython.so", "/no/libpython.so does not exist\n"},
      {"not a library", {{"pythonDllFile", "<pythonDllFile>main.py</pythonDllFile>"}}, "",
       "DLL cannot be loaded", "ERROR: Cannot load Python DLL file\n", "main.py",
       "main.py cannot be loaded\n"},
      {"not Python",
       {{"pythonDllFile",
         "<pythonDllFile>/usr/lib/x86_64-linux-gnu/libexpat.so.1</pythonDllFile>"}},
       "", "Symbol does not exist",
       "/usr/lib/x86_64-linux-gnu/libexpat.so.1 does not have code for Py_GetVersion\n",
       "Py_GetVersion",
       "/usr/lib/x86_64-linux-gnu/libexpat.so.1 does not have code for Py_GetVersion\n"},
      {"bad home", {{"pythonHome", "<pythonHome>/no/python</pythonHome>"}}, "",
       "initialize Python environment", "ERROR: Cannot start Python interpreter\n", "/no/python",
       "Cannot start Python with home /no/python\n"},
      {"unreadable main file", {{"pythonMainFile", "<pythonMainFile>nomain.py</pythonMainFile>"}},
       "", "Error reading required Python code", "Cannot read python script\n", "nomain.py",
       "Cannot read python script\n\n\nnomain.py\n"},
      {"raising main file", {}, "# secret\nprint('before')\nraise KeyError('k')\n",
       "initializePythonEnvironment", "Error executing required Python code\n\nstderr:\nTraceback",
       "",
       "Cannot load python script\n\n\nmain.py\nTraceback (most recent call last):\n"
       "  File \"<string>\", line 3, in <module>\nKeyError: 'k'\n"},
      {"exiting main file", {}, "import sys\nsys.exit(7)\n", "initializePythonEnvironment",
       "Error executing required Python code\n\nstderr:\nTraceback", "",
       "Cannot load python script\n\n\nmain.py\nTraceback (most recent call last):\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    clearWorkDir();
    writeDescription(solverInfo(c.info), " <aasCommand command=\"aaS.a\">a</aasCommand>\n");
    writeMain(c.main);
    ServiceProcess& svc = runToFailure(udfOptions());
    const std::string out = svc.stdoutText();
    const std::string head = "Solvarium starting...\n\nError executing <" + c.command +
                             ">\n\nError info:\n " + c.info0;
    EXPECT_EQ(out.rfind(head, 0), 0u) << out;
    const std::string tail = "\n\nCommand output:\n " + c.output + "\n";
    EXPECT_EQ(out.size() >= tail.size() ? out.substr(out.size() - tail.size()) : out, tail);
    EXPECT_EQ(readFile(pidFile("instant_aas_error_")), out.substr(out.find('\n') + 1));
    EXPECT_EQ(readFile(pidFile("3p_aas_error_")).rfind(c.logged, 0), 0u)
        << readFile(pidFile("3p_aas_error_"));
    EXPECT_NE(svc.stderrText().find("Start-up failed: Python did not start: " +
                                    c.info0.substr(0, c.info0.find('\n'))),
              std::string::npos)
        << svc.stderrText();
    if (c.name == "raising main file") {
      // The script is named, never quoted: it may hold secrets.
      EXPECT_NE(out.find("KeyError: 'k'\n\n\nstdout:\nbefore\n\nPython Script:\nmain.py\n"),
                std::string::npos);
      EXPECT_EQ(out.find("secret"), std::string::npos) << out;
      EXPECT_EQ(readFile(pidFile("3p_aas_error_")).find("secret"), std::string::npos);
    }
    if (c.name == "exiting main file") {
      EXPECT_NE(out.find("SystemExit: 7\n"), std::string::npos);
    }
  }
  // Memory that runs out at start: a description of 1 GiB under a limit of
  // 512 MB (its read's std::bad_alloc ended the process through terminate);
  // a main file whose memory runs out in a `with` block past the code's 256th
  // unit, with one malloc arena (none other to fall back on): Python would
  // retry the handler's allocation for ever.
  if (solvarium::platform::kSanitizedBuild) return;
  const std::string outOfMemory =
      "Start-up failed: out of memory: raise the limit on address space (ulimit -v) or free "
      "memory\n";
  clearWorkDir();
  writeFile(workFile("big.xml"), "");
  ASSERT_EQ(::truncate(workFile("big.xml").c_str(), 1 << 30), 0);
  ServiceProcess::Options limited = udfOptions({"-aas-config-file", "big.xml"});
  limited.program = "/usr/bin/prlimit";
  limited.argv.insert(limited.argv.begin(), {"prlimit", "--as=512000000", "--"});
  EXPECT_NE(runToFailure(limited).stderrText().find(outOfMemory), std::string::npos);
  writeDescription(solverInfo(), " <aasCommand command=\"aaS.a\">a</aasCommand>\n");
  writeMain(
      "import resource\nclass Hold:\n def __enter__(self): pass\n def __exit__(self, *e): pass\n"
      "code = compile('x = 0\\n' * 300 + 'n, chain = 1000, None\\nwith Hold():\\n while 1:\\n'\n"
      "               '  n = n + 1\\n  chain = (chain, n)\\n', 'grow', 'exec')\n"
      "size = int(open('/proc/self/statm').read().split()[0]) * resource.getpagesize()\n"
      "resource.setrlimit(resource.RLIMIT_AS, (size + (8 << 20), resource.RLIM_INFINITY))\n"
      "exec(code)\n");
  ServiceProcess::Options arena = udfOptions();
  arena.env["MALLOC_ARENA_MAX"] = "1";
  EXPECT_NE(runToFailure(arena).stderrText().find(outOfMemory), std::string::npos);
}

TEST_F(UdfStartupTest, WatcherEndsTheServiceWhenTheSolverGoes) {
  // The pid file is written as by "echo $$ >solver.pid": it ends in a line feed.
  writeFile(workFile("solver.pid"), solver().pidText() + "\n");
  writeDescription(
      solverInfo({{"solverPid", "<solverPid format=\"filename\">solver.pid</solverPid>"}}),
      " <aasCommand command=\"aaS.a\">a</aasCommand>\n"
      " <aasCommand command=\"aaS.hang\">hang</aasCommand>\n");
  writeMain("import time\ndef a(args):\n    return 'a'\ndef hang(args):\n"
            "    while True:\n        time.sleep(1)\n");
  ServiceProcess& svc = startUdf(udfOptions());
  EXPECT_EQ(udf().execute("aaS.a"), "a");
  std::this_thread::sleep_for(seconds(2));  // the watcher has connected
  // A macro that never returns holds every request: the watcher neither
  // waits for it nor lets it keep the service alive.
  JoinedThreads hung;
  hung.start([&] { udf().tryExecute("aaS.hang"); });
  std::this_thread::sleep_for(milliseconds(500));
  const std::string pid = solver().pidText();
  solver().kill();
  const auto gone = std::chrono::steady_clock::now();
  EXPECT_EQ(svc.waitForExit(seconds(75)), std::optional<int>(0)) << svc.stdoutText();
  EXPECT_LE(std::chrono::steady_clock::now() - gone, seconds(62));
  EXPECT_EQ(svc.stdoutText().find("Shutting down"), std::string::npos) << svc.stdoutText();
  EXPECT_NE(svc.stderrText().find("Solver watcher: solver process " + pid + " has gone: ending the process\n"),
            std::string::npos)
      << svc.stderrText();
}

// A second stop signal while the main file runs ends the process with 3 and
// no key is published, also while its end waits for stderr (a full pipe
// that is read only 3 s later). A stop while a macro never returns ends at the
// deadline.
TEST_F(UdfStartupTest, StopsDuringStartUpAndWhileAMacroNeverReturns) {
  writeDescription(solverInfo(), "");
  writeMain("import time\ntime.sleep(0.5)\n");
  ServiceProcess::Options blocked = udfOptions();
  blocked.program = "/usr/bin/python3";
  blocked.argv = {"python3", "-c",
                  "import os, sys, time\n"
                  "r, w = os.pipe()\n"
                  "os.set_blocking(w, False)\n"
                  "try:\n"
                  "    while True: os.write(w, b'x' * 4096)\n"
                  "except BlockingIOError: pass\n"
                  "os.set_blocking(w, True)\n"
                  "if os.fork() == 0:\n"  // takes stderr's text after 3 s
                  "    os.close(w)\n"
                  "    time.sleep(3)\n"
                  "    while os.read(r, 65536): pass\n"
                  "    os._exit(0)\n"
                  "os.dup2(w, 2)\n"
                  "os.execv(sys.argv[1], sys.argv[1:])",
                  SOLVARIUM_BINARY, "-solver", "3p_aas"};
  ServiceProcess& starting = start(blocked);
  const std::string status = "/proc/" + std::to_string(starting.pid()) + "/status";
  ASSERT_TRUE(waitUntil([&] {  // the stop signals' handler is in place
    const std::string text = readFile(status);
    const std::size_t caught = text.find("SigCgt:\t");
    return caught != std::string::npos &&
           (std::stoull(text.substr(caught + 8, 16), nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
  }, seconds(10), milliseconds(1)));
  ASSERT_EQ(::kill(starting.pid(), SIGTERM), 0);
  std::this_thread::sleep_for(milliseconds(100));
  ASSERT_EQ(::kill(starting.pid(), SIGTERM), 0);
  EXPECT_EQ(starting.waitForExit(seconds(20)), std::optional<int>(3));
  EXPECT_FALSE(fileExists(workFile("aaSUdf_Id.txt")));
  EXPECT_EQ(starting.stdoutText().find("IOR:"), std::string::npos) << starting.stdoutText();

  writeDescription(solverInfo(), " <aasCommand command=\"aaS.spin\">spin</aasCommand>\n");
  writeMain("def spin(args):\n    while True:\n        pass\n");
  ServiceProcess& svc = startUdf(udfOptions());
  JoinedThreads hung;
  hung.start([&] { udf().tryExecute("aaS.spin"); });
  std::this_thread::sleep_for(milliseconds(500));
  const auto stop = std::chrono::steady_clock::now();
  ASSERT_EQ(::kill(svc.pid(), SIGTERM), 0);
  EXPECT_EQ(svc.waitForExit(seconds(45)), std::optional<int>(3)) << svc.stderrText();
  const auto took = std::chrono::steady_clock::now() - stop;
  EXPECT_GE(took, seconds(29));
  EXPECT_LE(took, seconds(35));
  EXPECT_NE(svc.stderrText().find("Shutdown: a request still runs 30 s after shutdown began: "
                                  "the final save is skipped\n"),
            std::string::npos)
      << svc.stderrText();
  EXPECT_EQ(svc.stdoutText().find("Shutting down"), std::string::npos) << svc.stdoutText();
}

}  // namespace
}  // namespace solvarium_test
