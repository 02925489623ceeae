// solvarium-client's usage: --help and -h print it on stdout with each
// verb's description and end with 0; a usage error keeps its short form on
// stderr and code 2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/harness.h"
#include "tools/client_verbs.h"

namespace {

using solvarium_test::ProcessResult;

ProcessResult runClient(const std::vector<std::string>& args) {
  std::vector<std::string> argv{SOLVARIUM_CLIENT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  solvarium_test::Environment env;
  for (const char* name :
       {"PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env[name] = value;
  }
  return solvarium_test::runProgram(argv, env, ".");
}

TEST(ClientUsageTest, HelpPrintsEveryVerbWithItsDescription) {
  const std::vector<solvarium::client::Verb> verbs = solvarium::client::allVerbs();
  for (const char* flag : {"--help", "-h"}) {
    const ProcessResult help = runClient({flag});
    EXPECT_EQ(help.exitCode, 0) << flag;
    EXPECT_EQ(help.err, "") << flag;
    EXPECT_EQ(help.out.rfind("usage: solvarium-client [-n] ", 0), 0u) << help.out;
    for (const solvarium::client::Verb& verb : verbs) {
      EXPECT_NE(help.out.find("\n  " + verb.name + " "), std::string::npos) << verb.name;
      EXPECT_NE(help.out.find("\n      " + verb.what + "\n"), std::string::npos) << verb.name;
    }
  }
  EXPECT_EQ(runClient({"-n", "--help"}).exitCode, 0);

  // A usage error: the usage without descriptions, on stderr, code 2.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{}, std::vector<std::string>{"key.txt", "no-such-verb"}}) {
    const ProcessResult bad = runClient(args);
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("usage: solvarium-client [-n] ", 0), 0u) << bad.err;
    EXPECT_EQ(bad.err.find(verbs.front().what), std::string::npos) << bad.err;
  }
}

}  // namespace
