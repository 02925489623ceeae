// A kind that lives only in the tests (tests/echo_kind/), registered by a
// program of its own beside the built-in kinds, served end to end: its
// record chooses it, names its server and key file, answers the generic
// servants' identity and follows its solver.
#include <unistd.h>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

class EchoKindTest : public ServiceTest {
 protected:
  ServiceProcess::Options echoOptions() {
    ServiceProcess::Options options = broxOptions();
    options.program = ECHO_SOLVARIUM_BINARY;
    options.argv = {ECHO_SOLVARIUM_BINARY, "-solver", "echo"};
    options.env["ECHO_SOLVER_PID"] = solver().pidText();
    return options;
  }
};

std::string text(char* owned) {
  CORBA::String_var value = owned;
  return value.in();
}

TEST_F(EchoKindTest, TheTestKindIsServedOverIiopAndEndsWithItsSolver) {
  ServiceProcess& svc = start(echoOptions());
  ASSERT_TRUE(svc.waitForKeyFiles({"aaS_Echo.txt"})) << svc.stdoutText();
  const std::string key = readFile(workFile("aaS_Echo.txt"));
  EXPECT_EQ(svc.stdoutText(), "EchoSolvarium starting...\n\nSolvarium key: \n" + key + "\n");
  EXPECT_EQ(iorTypeId(key), "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0");
  ASSERT_TRUE(sessionManager().waitForBytes(key.size(), seconds(5)));
  EXPECT_EQ(sessionManager().received(), key);

  ServiceClient echo(workDir(), "aaS_Echo.txt", "aaS_Echo.txt");
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = echo.solverUnit();
  EXPECT_EQ(text(unit->getSolverId()), "test-echo");
  EXPECT_EQ(text(unit->getAcessType()), "instant");
  EXPECT_EQ(text(echo.scripting()->getScriptingLanguageId()), "echo_instant_aas");
  EXPECT_EQ(echo.execute("aaS.echo one  two"), "one  two");
  EXPECT_TRUE(isException(echo.tryExecute("aaS.get_status"), "EScriptGenericError",
                          {{"command", "aaS.get_status"}, {"errorInfo", "Unknown echo command"}}));
  EXPECT_TRUE(isException(echo.tryExecute("aaS_internal.get_brox_exception_holder_ior"),
                          "EScriptGenericError", {{"errorInfo", "Unsupported instant aaS command"}}));
  EXPECT_EQ(iorTypeId(echo.execute("aaS_internal.get_echo_ior")),
            "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoScripting:1.0");
  const Outcome files = capture([&] {
    KORLEN_AAS_v1_0_0::Types::CoStrings_var names = echo.fileSystem()->getSolverFiles();
    return std::string();
  });
  EXPECT_TRUE(isException(files, "ENotSupported", {{"errorInfo", "Not in the echo kind"}}));

  solver().kill();
  EXPECT_EQ(svc.waitForExit(seconds(10)), std::optional<int>(0)) << svc.stdoutText();
}

TEST_F(EchoKindTest, OnlyItsOwnProgramKnowsTheKindAndItsRuleRefusesAMissingPid) {
  // Solvarium under a name that chooses no kind: "-solver echo" chooses none.
  const std::string plainName = binDir() + "/plainprog";
  ASSERT_EQ(::symlink(SOLVARIUM_BINARY, plainName.c_str()), 0);
  ServiceProcess::Options builtIn = echoOptions();
  builtIn.program = plainName;
  builtIn.argv[0] = plainName;
  ServiceProcess& plain = start(builtIn);
  EXPECT_EQ(plain.waitForExit(seconds(10)), std::optional<int>(0));
  EXPECT_EQ(plain.stdoutText(), "");
  EXPECT_TRUE(listDirectory(workDir()).empty());

  ServiceProcess::Options noPid = echoOptions();
  noPid.env.erase("ECHO_SOLVER_PID");
  ServiceProcess& refused = start(noPid);
  EXPECT_EQ(refused.waitForExit(seconds(10)), std::optional<int>(1));
  EXPECT_EQ(readFile(workFile("echo_error.txt")), "ECHO_SOLVER_PID names no process\n");
  EXPECT_FALSE(fileExists(workFile("aaS_Echo.txt")));
}

}  // namespace
}  // namespace solvarium_test
