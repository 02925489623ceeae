// Where the answer or the error file keeps a fixed text, the cause of the
// failure goes to standard error once.
#include <sys/stat.h>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

class ErrorCausesTest : public ServiceTest {};

TEST_F(ErrorCausesTest, UdfDescriptionThatCannotBeReadNamesItsCause) {
  ServiceProcess::Options options = broxOptions();
  options.argv = {SOLVARIUM_BINARY, "-solver", "3p_aas", "-aas-config-file", "missing.xml"};
  ServiceProcess& svc = start(options);
  ASSERT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(1)) << svc.stdoutText();
  EXPECT_EQ(svc.stdoutText(), "Error reading configuration file!<missing.xml>\n");
  EXPECT_NE(svc.stderrText().find("'missing.xml': No such file or directory"), std::string::npos)
      << svc.stderrText();
}

TEST_F(ErrorCausesTest, FinalSaveThatFailsNamesItsCause) {
  ServiceProcess& svc = startBrox();
  ASSERT_EQ(::mkdir(workFile("monitor.json").c_str(), 0755), 0);
  EXPECT_TRUE(client().broxUnit()->shutdown());
  ASSERT_EQ(svc.waitForExit(seconds(20)), std::optional<int>(4)) << svc.stdoutText();
  EXPECT_EQ(readFile(workFile("aas_instant_error.txt")),
            "Unknown error:\nCannot create BROX monitor.json after 10 tries\n");
  EXPECT_NE(svc.stderrText().find("Saving monitor.json failed 10 times, the last: "),
            std::string::npos)
      << svc.stderrText();
}

}  // namespace
}  // namespace solvarium_test
