// solvarium-client's usage: --help and -h print it on stdout with each
// verb's description and end with 0; a usage error says what was wrong, then
// gives the short usage, on stderr with code 2. Against servers on 127.0.0.1
// that never answer or forward every call to themselves, it ends.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/fake_giop_server.h"
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

  const ProcessResult version = runClient({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("solvarium-client ", 0), 0u) << version.out;
  EXPECT_EQ(version.err, "");

  // A usage error: what was wrong, then the usage without descriptions, on
  // stderr, code 2; nothing is run (the key file is not even read).
  const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
      {{}, "missing KEYFILE and VERB"},
      {{"key.txt"}, "missing VERB after KEYFILE"},
      {{"key.txt", "no-such-verb"}, "unknown verb 'no-such-verb'"},
      {{"key.txt", "fs"}, "missing OPERATION after 'fs'"},
      {{"key.txt", "fs", "rename", "a"}, "unknown operation 'rename' of 'fs'"},
      {{"key.txt", "solver-unit", "getSolverId", "extra"},
       "'solver-unit getSolverId' takes 0 arguments, not 1"},
      {{"key.txt", "fs", "download", "a", "b", "c"}, "'fs download' takes 2 arguments, not 3"},
      {{"key.txt", "script"}, "'script' needs COMMAND..."},
      {{"--timeout", "soon", "key.txt", "script", "x"},
       "--timeout takes a number of seconds, not 'soon'"},
      {{"--bogus", "key.txt", "script", "x"}, "unknown option '--bogus'"},
      {{"--timeout=5", "key.txt", "script", "x"}, "unknown option '--timeout=5'"}};
  for (const auto& error : errors) {
    const ProcessResult bad = runClient(error.first);
    EXPECT_EQ(bad.exitCode, 2) << error.second;
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("solvarium-client: " + error.second + "\nusage: solvarium-client [-n] ",
                            0),
              0u)
        << bad.err;
    EXPECT_EQ(bad.err.find(verbs.front().what), std::string::npos) << bad.err;
  }
}

TEST(ClientUsageTest, SilentOrForwardingServerEndsTheCall) {
  // A key that names no object, or no service any more: the exception's JSON
  // line on stdout, code 2, and one line on stderr.
  std::string closedKey;
  {
    const solvarium_test::FakeGiopServer gone;
    closedKey = "corbaloc::1.2@127.0.0.1:" + std::to_string(gone.port()) + "/SolverUnit";
  }
  for (const auto& key : std::vector<std::pair<std::string, std::string>>{
           {"corbaloc:bogus", "the key holds no object reference"},
           {"IOR:garbage", "the key holds no object reference"},
           {closedKey, "no service answers at the key's address"}}) {
    const ProcessResult failed = runClient({key.first, "solver-unit", "getSolverId"});
    EXPECT_EQ(failed.exitCode, 2);
    EXPECT_EQ(failed.out.rfind("{\"exception\":\"CORBA::", 0), 0u) << failed.out;
    EXPECT_EQ(failed.err.rfind("solvarium-client: " + key.second, 0), 0u) << failed.err;
  }

  solvarium_test::FakeGiopServer silent;
  ASSERT_GT(silent.port(), 0);
  const std::string silentKey =
      "corbaloc::1.2@127.0.0.1:" + std::to_string(silent.port()) + "/SolverUnit";
  const auto begin = std::chrono::steady_clock::now();
  const ProcessResult waited =
      runClient({"--timeout", "1", silentKey, "solver-unit", "getSolverId"});
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15));
  EXPECT_FALSE(waited.timedOut);
  EXPECT_EQ(waited.exitCode, 2);
  EXPECT_NE(waited.out.find("\"exception\":\"CORBA::TIMEOUT\""), std::string::npos) << waited.out;

  solvarium_test::FakeGiopServer forwarding;
  ASSERT_GT(forwarding.port(), 0);
  const std::string key =
      "corbaloc::1.2@127.0.0.1:" + std::to_string(forwarding.port()) + "/SolverUnit";
  CORBA::Object_var self = solvarium_test::testOrb()->string_to_object(key.c_str());
  CORBA::String_var selfIor = solvarium_test::testOrb()->object_to_string(self.in());
  forwarding.setForward(selfIor.in());
  const ProcessResult looped = runClient({"--timeout", "10", key, "solver-unit", "getSolverId"});
  EXPECT_EQ(looped.exitCode, 2);
  EXPECT_EQ(looped.out, "");
  EXPECT_EQ(looped.err,
            "solvarium-client: gave up after 100 requests: the server forwards the call in a "
            "loop\n");
  EXPECT_LE(forwarding.requests(), 101);
}

}  // namespace
