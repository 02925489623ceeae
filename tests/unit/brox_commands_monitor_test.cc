// The monitor commands end to end below the ORB: a fake monitor-data program
// first on PATH, the test run-status library, a private working directory.
#include <gtest/gtest.h>

#include "AAS_CORBA.hh"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_programs.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"

namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
using Tokens = std::vector<std::string>;
using brox_test::makeDir;
using brox_test::writeFile;
using solvarium_test::expectThrow;

// BROXBINDIR of the test run-status library (<dir>/linux-amd64/libQuennet.so).
std::string fakeQuennetBinDir() {
  std::string path = FAKE_QUENNET_LIBRARY;
  path = path.substr(0, path.rfind('/'));
  return path.substr(0, path.rfind('/'));
}

std::string joined(const Tokens& tokens) {
  std::string text;
  for (const auto& t : tokens) text += (text.empty() ? "" : " ") + t;
  return text;
}

const char* const kTwoColumns = "\"Time Step\",\"lift\"\n1,0.5\n2,0.25\n";

class BroxMonitorCommandTest : public ::testing::Test {
 protected:
  BroxMonitorCommandTest()
      : cwd_(makeWork()),
        tmp_("TMP", root_.file("tmp")),
        fakes_(root_.file("bin")),
        path_(fakes_.binDir()),
        monitors_(will_, fakeQuennetBinDir().c_str()) {
    makeDir(root_.file("tmp"));
    fakes_.install("broxmondata");
    BROX::TEST_resetQuennetBinding();
  }
  ~BroxMonitorCommandTest() override { BROX::TEST_resetQuennetBinding(); }

  void SetUp() override {
    if (!brox_test::exists(FAKE_QUENNET_LIBRARY))
      GTEST_SKIP() << "test run-status library not built: " << FAKE_QUENNET_LIBRARY;
    ASSERT_TRUE(cwd_.ok());
  }

  std::string makeWork() {
    makeDir(root_.file("work"));
    return root_.file("work");
  }

  // Runs one monitor command the way the interpreter does.
  std::string command(const Tokens& tokens) {
    std::string result;
    const std::string& name = tokens[0];
    if (name.find("persisted_data") != std::string::npos)
      result = CORBA::String_var(monitors_.persistedDataAnswer(tokens, joined(tokens))).in();
    else if (name.find("last_values") != std::string::npos)
      monitors_.listMonitorsLastValues(result, tokens, joined(tokens));
    else
      monitors_.listMonitors(result, tokens, joined(tokens));
    return result;
  }

  // Entries left in the temporary directory.
  std::size_t tmpEntries() { return brox_test::entriesOf(root_.file("tmp")).size(); }

  solvarium_test::TempDir root_;
  brox_test::ScopedCwd cwd_;
  solvarium_test::ScopedEnv tmp_;
  solvarium_test::FakePrograms fakes_;
  solvarium_test::ScopedPathPrepend path_;
  BROX::ReportPlotWill will_;
  BROX::BroxMonitors monitors_;
};

TEST_F(BroxMonitorCommandTest, PersistedDataOfEveryRunInPathOrder) {
  makeDir("run_b.dir");
  makeDir("my run.dir");
  fakes_.setOutput("data", "./run_b.dir", kTwoColumns);
  fakes_.setOutput("data", "./my run.dir", "\"t\",\"drag\"\n5,1e-3\n");

  // Ascending path order: "./my run.dir" before "./run_b.dir".
  const std::string answer = command({"aaS.list_monitors_with_persisted_data"});
  const std::string first = "\t\t\"monitorDir\":\t\"my run.dir\"\n";
  const std::string second = "\t\t\"monitorDir\":\t\"run_b.dir\"\n";
  EXPECT_EQ(answer.rfind("[\n\t{\n\t\t\"monitorType\":\t\"DirectoryMonitor\"\n\t\t,\n" + first, 0),
            0u)
      << answer;
  EXPECT_NE(answer.find("\t\t\t1e-3\n\t\t]\n\t}\n\t,\t{\n\t\t\"monitorType\":\t\"DirectoryMonitor\""
                        "\n\t\t,\n" + second + "\t\t,\n\t\t\"monitorRecords\": 2\n"),
            std::string::npos)
      << answer;
  EXPECT_EQ(answer.substr(answer.size() - 9), "\t\t]\n\t}\n]\n");
  EXPECT_TRUE(brox_test::parsesAsJson(answer));

  // One argument per path, the blank included; the output lies in TMP.
  const auto calls = fakes_.calls("broxmondata");
  ASSERT_EQ(calls.size(), 2u);
  bool sawBlankPath = false;
  for (const auto& call : calls) {
    ASSERT_EQ(call.size(), 4u);
    EXPECT_EQ(call[0], "-out");
    EXPECT_EQ(call[1].rfind(root_.file("tmp") + "/", 0), 0u) << call[1];
    EXPECT_EQ(call[2], "-dir");
    sawBlankPath = sawBlankPath || call[3] == "./my run.dir";
  }
  EXPECT_TRUE(sawBlankPath);
  EXPECT_EQ(tmpEntries(), 0u);
}

TEST_F(BroxMonitorCommandTest, SessionAndOptionsReachTheProgramAsSeparateArguments) {
  makeDir("run_002.dir");
  makeDir("run_003.dir");
  fakes_.setDefaultOutput("data", kTwoColumns);
  const std::string answer = command({"aaS.list_monitors_with_persisted_data", "session-name",
                                      "run_003", "start-time-step", "5", "variable-list",
                                      "\"lift;touch${IFS}x\"", "session-name", "run_002"});
  EXPECT_NE(answer.find("\"monitorDir\":\t\"run_002.dir\"\n"), std::string::npos);
  EXPECT_EQ(answer.find("run_003"), std::string::npos);

  const auto calls = fakes_.calls("broxmondata");
  ASSERT_EQ(calls.size(), 1u);
  const Tokens expected{"-out", calls[0][1], "-dir", "run_002.dir", "-firsttimestep", "5",
                        "-varlist", "lift;touch${IFS}x"};
  EXPECT_EQ(calls[0], expected);
  EXPECT_FALSE(brox_test::exists("x"));
  EXPECT_FALSE(brox_test::exists(root_.file("bin/x")));
}

TEST_F(BroxMonitorCommandTest, SavedMonitorsOfAMultiConfigurationRun) {
  makeDir("case");
  writeFile("case/Config_1.res", "");
  writeFile("case/Config_2.res", "");
  writeFile("fake_quennet_runs.txt", "./case.mres\tcase\t1\t1\tdone\tConfig_1,Config_2\n");
  fakes_.setDefaultOutput("data", kTwoColumns);
  fakes_.setDefaultOutput("lastvaluesonly", "\"t\",\"a\"\n7,\n");
  fakes_.setDefaultOutput("showvars", "t\r\na\r\n");

  const std::string data = command({"aaS.list_saved_monitors_with_persisted_data"});
  EXPECT_NE(data.find("\t\t\"monitorType\":\t\"SavedMonitor\"\n\t\t,\n"
                      "\t\t\"monitorFile\":\t\"case/Config_2.res\"\n\t\t,\n"
                      "\t\t\"multiConfigName\":\t\"case\"\n\t\t,\n"
                      "\t\t\"multiConfigIndex\":\t1\n"),
            std::string::npos)
      << data;
  EXPECT_LT(data.find("Config_1.res"), data.find("Config_2.res"));
  EXPECT_TRUE(brox_test::parsesAsJson(data));

  const std::string last = command({"aaS.list_saved_monitors_last_values"});
  EXPECT_NE(last.find("\t\t\"lastValues\":\n\t\t{\n\t\t\t\"t\":\t7\n\t\t}\n"), std::string::npos);
  EXPECT_TRUE(brox_test::parsesAsJson(last));

  const std::string names = command({"aaS.list_saved_monitors"});
  EXPECT_NE(names.find("\t\t\"xAxis\":\t\"t\"\n\t\t,\n\t\t\"yAxis\":\n\t\t[\n\t\t\t\"a\"\n\t\t]\n"),
            std::string::npos);
  EXPECT_TRUE(brox_test::parsesAsJson(names));

  for (const auto& call : fakes_.calls("broxmondata")) {
    EXPECT_EQ(call[call.size() - 2], "-res");
    if (call[0] != "-out") {
      EXPECT_EQ(call[1], "-out");
    }
  }
  EXPECT_EQ(tmpEntries(), 0u);
}

TEST_F(BroxMonitorCommandTest, EmptyOutputsAreLeftOutAndMissingOutputsFail) {
  makeDir("a.dir");
  makeDir("b.dir");
  fakes_.setOutput("data", "./a.dir", "");
  fakes_.setOutput("data", "./b.dir", kTwoColumns);
  const std::string answer = command({"aaS.list_monitors_with_persisted_data"});
  EXPECT_EQ(answer.find("a.dir"), std::string::npos);
  EXPECT_NE(answer.find("b.dir"), std::string::npos);

  // No output registered for "showvars": the fake writes no file.
  if (const auto e = expectThrow<Exc::EInstantScriptError>([&] { command({"aaS.list_monitors"}); },
                                                           "missing output accepted")) {
    EXPECT_EQ(std::string(e->errorInfo.in()).rfind("Cannot retrieve program output", 0), 0u);
  }
  EXPECT_EQ(tmpEntries(), 0u);
  // The command text of the error spells the command line with its blanks.
  for (const Tokens& tokens :
       {Tokens{"aaS.list_monitors_last_values"},
        Tokens{"aaS.list_monitors_with_persisted_data", "session-name", "a", "variable-list",
               "\"x;y\""}}) {
    const bool last = tokens.size() == 1;
    // No output registered for "lastvaluesonly" nor for "a.dir".
    if (const auto e = expectThrow<Exc::EInstantScriptError>([&] { command(tokens); },
                                                             "missing output accepted")) {
      const std::string line = e->command.in();
      EXPECT_EQ(line.rfind(last ? "broxmondata  -lastvaluesonly  -out " : "broxmondata  -out ", 0),
                0u)
          << line;
      const std::string tail = last ? " -dir ./a.dir " : " -dir a.dir   -varlist \"x;y\" ";
      EXPECT_EQ(line.substr(line.size() - tail.size()), tail) << line;
    }
  }

  fakes_.setOutput("data", "./b.dir", "\"t\",\"a\"\n1,2,3\n");
  if (const auto e = expectThrow<Exc::EInstantScriptError>(
          [&] { command({"aaS.list_monitors_with_persisted_data"}); }, "ragged output accepted")) {
    EXPECT_STREQ(e->errorInfo.in(),
                 "Unexpected format for monitor information (more values than variables)");
    EXPECT_STREQ(e->command.in(), "aaS.list_monitors_with_persisted_data");
  }
}

TEST_F(BroxMonitorCommandTest, NoSourcesAndCommandErrors) {
  fakes_.setDefaultOutput("data", kTwoColumns);
  EXPECT_EQ(command({"aaS.list_monitors_with_persisted_data"}), "[\n]\n");
  EXPECT_EQ(command({"aaS.list_saved_monitors_with_persisted_data"}), "[\n]\n");

  // The errorInfo of the script error `tokens` raise.
  auto errorInfo = [&](const Tokens& tokens) {
    const auto e = expectThrow<Exc::EInstantScriptError>([&] { command(tokens); });
    return e ? std::string(e->errorInfo.in()) : std::string("<no error>");
  };
  EXPECT_EQ(errorInfo({"aaS.list_monitors_with_persisted_data", "session-name", "run_009"}),
            "Folder does not exist:\nrun_009.dir");
  EXPECT_EQ(errorInfo({"aaS.list_saved_monitors_with_persisted_data", "session-name", "run_009"}),
            "File does not exist:\nrun_009.res");
  EXPECT_EQ(errorInfo({"aaS.list_monitors_last_values", "x"}),
            "command [aaS.list_monitors_last_values x] does not have parameters");
  EXPECT_TRUE(fakes_.calls("broxmondata").empty());

  // A failing run-status query comes first.
  writeFile("fake_quennet_fail.txt", "status unavailable");
  if (const auto e = expectThrow<Exc::EInstantScriptError>([&] {
        command({"aaS.list_monitors", "x"});
      })) {
    EXPECT_STREQ(e->errorInfo.in(), "status unavailable");
    EXPECT_STREQ(e->command.in(), "aaS.list_monitors x");
  }
}

}  // namespace
