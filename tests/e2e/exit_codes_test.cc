// Start-up failures: exit codes, printed lines and error files.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

class ExitCodeTest : public ServiceTest {
 protected:
  std::string errorFileOf(const ServiceProcess& svc) {
    return readFile(workFile("instant_aas_error_" + std::to_string(svc.pid()) + ".txt"));
  }
};

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

TEST_F(ExitCodeTest, MissingOrInvalidSolverPidEndsWithCode1AndErrorBlock) {
  const std::vector<std::optional<std::string>> values = {
      std::nullopt, std::string("0"), std::string("abc"), std::string(""), std::string("-5"),
      std::string("99999999999")};
  for (const std::optional<std::string>& value : values) {
    SCOPED_TRACE(value ? "KORLEN_BROXSOLVE_PID=<" + *value + ">" : "KORLEN_BROXSOLVE_PID unset");
    clearWorkDir();
    ServiceProcess::Options o = broxOptions();
    if (value)
      o.env["KORLEN_BROXSOLVE_PID"] = *value;
    else
      o.env.erase("KORLEN_BROXSOLVE_PID");
    ServiceProcess& svc = start(o);
    ASSERT_EQ(svc.waitForExit(seconds(10)), std::optional<int>(1)) << svc.stdoutText();
    std::string block = readFile(workFile("brox_instant_aas_error.txt"));
    EXPECT_EQ(block.compare(0, 27, "Error retrieving BROX pid.\n"), 0) << block;
    EXPECT_NE(block.find("KORLEN_BROXSOLVE_PID"), std::string::npos) << block;
    if (value && !value->empty()) {
      EXPECT_NE(block.find("(" + *value + ")"), std::string::npos) << block;
    }
    // The block goes to the error file only; stderr names the variable.
    EXPECT_EQ(svc.stdoutText(), "");
    EXPECT_NE(svc.stderrText().find("Start-up failed: KORLEN_BROXSOLVE_PID "), std::string::npos)
        << svc.stderrText();
  }

  // An error file that is a link is left alone: stderr still says why.
  clearWorkDir();
  ASSERT_EQ(symlink("elsewhere.txt", workFile("brox_instant_aas_error.txt").c_str()), 0);
  ServiceProcess::Options o = broxOptions();
  o.env.erase("KORLEN_BROXSOLVE_PID");
  ServiceProcess& svc = start(o);
  ASSERT_EQ(svc.waitForExit(seconds(10)), std::optional<int>(1)) << svc.stdoutText();
  EXPECT_FALSE(fileExists(workFile("elsewhere.txt")));
  EXPECT_EQ(svc.stdoutText(), "");
  EXPECT_NE(svc.stderrText().find("Start-up failed: KORLEN_BROXSOLVE_PID is not set: set it to "
                                  "the Brox solver's process id\n"),
            std::string::npos)
      << svc.stderrText();
}

TEST_F(ExitCodeTest, MissingOrEmptyBroxBinDirEndsWithCode1AndErrorFile) {
  for (bool unset : {true, false}) {
    SCOPED_TRACE(unset ? "BROXBINDIR unset" : "BROXBINDIR empty");
    clearWorkDir();
    ServiceProcess::Options o = broxOptions();
    if (unset)
      o.env.erase("BROXBINDIR");
    else
      o.env["BROXBINDIR"] = "";
    ServiceProcess& svc = start(o);
    ASSERT_EQ(svc.waitForExit(seconds(10)), std::optional<int>(1)) << svc.stdoutText();
    std::string line = unset ? "BROXBINDIR environment variable is not set\n"
                             : "BROXBINDIR environment variable is empty\n";
    EXPECT_NE(svc.stdoutText().find(line), std::string::npos) << svc.stdoutText();
    EXPECT_NE(errorFileOf(svc).find(line), std::string::npos) << errorFileOf(svc);
    EXPECT_NE(svc.stderrText().find(unset ? "Start-up failed: BROXBINDIR is not set: set BROXBINDIR"
                                          : "Start-up failed: BROXBINDIR is empty: set BROXBINDIR"),
              std::string::npos)
        << svc.stderrText();
    // The servants were never made: nothing is published.
    EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
    EXPECT_FALSE(sessionManager().accepted());
  }
}

// No kind: exit code 0, no file and one stderr line on how to choose one; a
// "-solver" that names no kind gets one line more.
TEST_F(ExitCodeTest, UnknownKindEndsAtOnceWithCode0AndNoOutput) {
  std::string plain = binDir() + "/plainprog";
  ASSERT_EQ(symlink(SOLVARIUM_BINARY, plain.c_str()), 0);
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{plain}, ""},
      {{plain, "-solver", "Brox"},
       "-solver 'Brox' names no kind (see --help): the program name chooses the kind\n"},
      {{plain, "-solver", "nothing", "-solver", "brox"},
       "-solver 'nothing' names no kind (see --help): the program name chooses the kind\n"},
      {{plain, "-solver"}, "-solver has no value: the program name chooses the kind\n"}};
  for (const auto& c : cases) {
    const std::vector<std::string>& argv = c.first;
    SCOPED_TRACE(argv.size());
    ServiceProcess::Options o = broxOptions();
    o.program = plain;
    o.argv = argv;
    ServiceProcess& svc = start(o);
    EXPECT_EQ(svc.waitForExit(seconds(5)), std::optional<int>(0));
    EXPECT_EQ(svc.stdoutText(), "");
    EXPECT_EQ(svc.stderrText(),
              c.second + "No solver kind chosen, nothing to serve: give -solver <kind>, or start "
                         "the program under a name that contains a kind's program name (see "
                         "--help)\n");
    EXPECT_TRUE(listDirectory(workDir()).empty());
    EXPECT_FALSE(sessionManager().accepted());
  }
}

// "--help" and "--version" anywhere among the arguments print on stdout,
// write no file and end with code 0, whatever the program name; --help names
// each kind's required environment.
TEST_F(ExitCodeTest, HelpAndVersionPrintAndEndWithCode0) {
  for (const char* option : {"--help", "--version"}) {
    SCOPED_TRACE(option);
    ServiceProcess::Options o = broxOptions();
    o.program = binDir() + "/Solvarium";
    ASSERT_EQ(symlink(SOLVARIUM_BINARY, o.program.c_str()) == 0 || errno == EEXIST, true);
    o.argv = {o.program, "-solver", "brox", option};
    ServiceProcess& svc = start(o);
    EXPECT_EQ(svc.waitForExit(seconds(5)), std::optional<int>(0));
    EXPECT_EQ(svc.stderrText(), "");
    EXPECT_TRUE(listDirectory(workDir()).empty());
    EXPECT_FALSE(sessionManager().accepted());
    const std::string out = svc.stdoutText();
    if (std::string(option) == "--version") {
      EXPECT_EQ(out.rfind("Solvarium ", 0), 0u) << out;
      EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << out;
      continue;
    }
    for (const char* word : {"brox", "talvo", "grend", "3p_aas", "-solver", "-h<host>",
                             "-p<port>", "-aas-config-file", "-aas-key-file", "KORLEN_BROXSOLVE_PID",
                             "BROXBINDIR", "KORLEN_SESSION_MANAGER_SOCKET"}) {
      EXPECT_NE(out.find(word), std::string::npos) << word << "\n" << out;
    }
    // The session manager's variable under exactly the kinds that need it.
    for (const std::string kind : {"brox", "talvo", "grend", "3p_aas"}) {
      const std::size_t at = out.find("  " + kind + ", \"");
      const std::size_t next = out.find(", \"", out.find('\n', at));
      EXPECT_EQ(out.substr(at, next - at).find("KORLEN_SESSION_MANAGER_SOCKET") != std::string::npos,
                kind == "talvo" || kind == "grend") << kind;
    }
    EXPECT_NE(out.find("/share/doc/solvarium/README.md"), std::string::npos) << out;
  }
}

TEST_F(ExitCodeTest, UdfWithoutDescriptionEndsWithCode1) {
  const std::vector<std::pair<std::string, std::string>> kinds = {
      {"3p_aas", ""}};
  for (const auto& kind : kinds) {
    SCOPED_TRACE(kind.first);
    clearWorkDir();
    ServiceProcess::Options o = broxOptions();
    o.argv = {SOLVARIUM_BINARY, "-solver", kind.first};
    ServiceProcess& svc = start(o);
    ASSERT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(1)) << svc.stdoutText();
    if (!kind.second.empty()) {
      EXPECT_NE(lower(svc.stdoutText()).find(kind.second), std::string::npos) << svc.stdoutText();
    }
    EXPECT_FALSE(fileExists(workFile("aaS_TalvoSolvarium.txt")));
    EXPECT_FALSE(fileExists(workFile("aaS_GrendSolvarium.txt")));
  }
}

TEST_F(ExitCodeTest, TalvoWithoutSessionManagerVariableEndsWithCode1) {
  ServiceProcess::Options o = broxOptions();
  o.argv = {SOLVARIUM_BINARY, "-solver", "talvo"};
  o.env.erase("KORLEN_SESSION_MANAGER_SOCKET");
  ServiceProcess& svc = start(o);
  ASSERT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(1)) << svc.stdoutText();
  EXPECT_FALSE(svc.stdoutText().empty());
  EXPECT_NE(svc.stderrText().find("Start-up failed: KORLEN_SESSION_MANAGER_SOCKET is not set: "
                                  "TalvoSolvarium needs it"),
            std::string::npos)
      << svc.stderrText();
}

}  // namespace
}  // namespace solvarium_test
