// Start-up failures: exit codes, printed lines and error files.
#include <unistd.h>

#include <algorithm>
#include <cctype>

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
    // The block goes to the error file only.
    EXPECT_EQ(svc.stdoutText(), "");
  }
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
    // The servants were never made: nothing is published.
    EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
    EXPECT_FALSE(sessionManager().accepted());
  }
}

TEST_F(ExitCodeTest, UnknownKindEndsAtOnceWithCode0AndNoOutput) {
  std::string plain = binDir() + "/plainprog";
  ASSERT_EQ(symlink(SOLVARIUM_BINARY, plain.c_str()), 0);
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{plain}, std::vector<std::string>{plain, "-solver", "Brox"},
        std::vector<std::string>{plain, "-solver", "nothing", "-solver", "brox"}}) {
    SCOPED_TRACE(argv.size());
    ServiceProcess::Options o = broxOptions();
    o.program = plain;
    o.argv = argv;
    ServiceProcess& svc = start(o);
    EXPECT_EQ(svc.waitForExit(seconds(5)), std::optional<int>(0));
    EXPECT_EQ(svc.stdoutText(), "");
    EXPECT_EQ(svc.stderrText(), "");
    EXPECT_TRUE(listDirectory(workDir()).empty());
    EXPECT_FALSE(sessionManager().accepted());
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
}

}  // namespace
}  // namespace solvarium_test
