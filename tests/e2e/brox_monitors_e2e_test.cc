// Brox monitor commands over IIOP: the monitor-data program is started once
// per run with an argument vector, its output comes back as JSON, and no
// temporary file outlives a command.
#include <string>
#include <vector>

#include "tests/support/brox_e2e_fixture.h"

namespace solvarium_test {
namespace {

using Args = std::vector<std::string>;

const char kHead[] = "\t{\n\t\t\"monitorType\":\t\"";

// "monitorType" and location members of one monitor object, with the
// separator that follows them.
std::string header(bool saved, const std::string& location, const std::string& multi = "") {
  return std::string(kHead) + (saved ? "SavedMonitor" : "DirectoryMonitor") + "\"\n\t\t,\n\t\t\"" +
         (saved ? "monitorFile" : "monitorDir") + "\":\t\"" + location + "\"\n" + multi + "\t\t,\n";
}

std::string multiConfig(const std::string& name, int index) {
  return "\t\t,\n\t\t\"multiConfigName\":\t\"" + name + "\"\n\t\t,\n\t\t\"multiConfigIndex\":\t" +
         std::to_string(index) + "\n";
}

// "\t\t[\n", the items three tabs in with "\t\t\t,\n" between them, "\t\t]\n".
std::string items(const std::vector<std::string>& values) {
  std::string text = "\t\t[\n";
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) text += "\t\t\t,\n";
    text += "\t\t\t" + values[i] + "\n";
  }
  return text + "\t\t]\n";
}

class BroxMonitorsE2eTest : public BroxE2eTest {
 protected:
  void SetUp() override {
    makeDir("run_001.dir");
    makeDir("run_002.dir");
    makeDir("mc");
    makeDir("mc/cfg_1.dir");
    writeFile(workFile("s1.res"), "saved");
    writeFile(workFile("mc/cfg_1.res"), "saved");
    setRuns({"./mc\tStudy\t1\t0\t\tcfg_0,cfg_1", "./mc.mres\tStudy saved\t1\t1\tDone\tcfg_1",
             "./run_001.dir\trun_001\t0\t0\t\t"});
    startService();
  }
};

TEST_F(BroxMonitorsE2eTest, MonitorNamesOfRunsAndSavedResults) {
  fakes().setOutput("showvars", "./run_001.dir", "Time\nPressure\nVelocity\n");
  fakes().setOutput("showvars", "./mc/cfg_1.dir", "Iteration\r\nMass\r\n");
  fakes().setOutput("showvars", "./run_002.dir", "");  // no output: left out
  EXPECT_EQ(json("aaS.list_monitors"),
            "[\n" + header(false, "mc/cfg_1.dir", multiConfig("Study", 1)) +
                "\t\t\"xAxis\":\t\"Iteration\"\n\t\t,\n\t\t\"yAxis\":\n" + items({"\"Mass\""}) +
                "\t}\n\t," + header(false, "run_001.dir") +
                "\t\t\"xAxis\":\t\"Time\"\n\t\t,\n\t\t\"yAxis\":\n" +
                items({"\"Pressure\"", "\"Velocity\""}) + "\t}\n]\n");
  auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 3u);
  std::vector<Args> seen;
  for (const auto& call : calls) seen.push_back(withoutOutFile(call));
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<Args>{{"-showvars", "-out", "<out>", "-dir", "./mc/cfg_1.dir"},
                                     {"-showvars", "-out", "<out>", "-dir", "./run_001.dir"},
                                     {"-showvars", "-out", "<out>", "-dir", "./run_002.dir"}}));
  // Each run has an output file of its own.
  EXPECT_NE(FakePrograms::argumentAfter(calls[0], "-out"),
            FakePrograms::argumentAfter(calls[1], "-out"));
  expectTmpEmpty("aaS.list_monitors");

  fakes().setOutput("showvars", "./s1.res", "Time\nT\n");
  fakes().setOutput("showvars", "./mc/cfg_1.res", "Time\nT\n");
  EXPECT_EQ(json("aaS.list_saved_monitors"),
            "[\n" + header(true, "mc/cfg_1.res", multiConfig("Study saved", 0)) +
                "\t\t\"xAxis\":\t\"Time\"\n\t\t,\n\t\t\"yAxis\":\n" + items({"\"T\""}) +
                "\t}\n\t," + header(true, "s1.res") +
                "\t\t\"xAxis\":\t\"Time\"\n\t\t,\n\t\t\"yAxis\":\n" + items({"\"T\""}) + "\t}\n]\n");
  calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) EXPECT_EQ(call[3], "-res");
  expectTmpEmpty("aaS.list_saved_monitors");

  // A run without any output file is an error naming the program.
  fakes().setOutput("showvars", "./run_002.dir", "T\n");
  unlink((binDir() + "/.fake/responses/showvars@.%run_001.dir").c_str());
  Outcome missing = client().tryExecute("aaS.list_monitors");
  ASSERT_TRUE(isException(missing, "EScriptGenericError", {{"errorType", "1"}})) << missing;
  EXPECT_EQ(missing.member("errorInfo").find("Cannot retrieve program output\nPATH:\n"), 0u)
      << missing;
  EXPECT_NE(missing.member("command").find("broxmondata -showvars  -out "), std::string::npos)
      << missing;
  expectTmpEmpty("a run without output");

  // Without the program on PATH: one line that names it, in the answer and
  // on standard error.
  ASSERT_EQ(unlink((binDir() + "/broxmondata").c_str()), 0);
  missing = client().tryExecute("aaS.list_monitors");
  ASSERT_TRUE(isException(missing, "EScriptGenericError", {{"errorType", "1"}})) << missing;
  EXPECT_EQ(missing.member("errorInfo")
                .find("Cannot start 'broxmondata': No such file or directory\nPATH:\n"),
            0u)
      << missing;
  EXPECT_TRUE(service().waitForStderr("Cannot start"));
  const std::string err = service().stderrText();
  const std::size_t line = err.find("Cannot start 'broxmondata': No such file or directory\n");
  EXPECT_EQ(line, err.rfind("Cannot start")) << err;
  EXPECT_EQ(err.find("brox_out_output", line), std::string::npos) << err;
  expectTmpEmpty("a program that is not there");

  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_saved_monitors now"), "EScriptGenericError",
      {{"errorInfo", "command [aaS.list_saved_monitors now] does not have parameters"}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_monitors_last_values x"), "EScriptGenericError",
      {{"errorInfo", "command [aaS.list_monitors_last_values x] does not have parameters"}}));
}

TEST_F(BroxMonitorsE2eTest, LastValuesTakeTheFirstDataLine) {
  fakes().setOutput("lastvaluesonly", "./run_001.dir",
                    "\"Time\",\"P\",\"Q\",\"State\"\n10,,7.5,n/a\n9,1,2,x\n");
  fakes().setOutput("lastvaluesonly", "./run_002.dir", "\"Time\",\"P\"\n");
  fakes().setDefaultOutput("lastvaluesonly", "");
  // Values that are no JSON number are quoted; empty ones are left out.
  EXPECT_EQ(json("aaS.list_monitors_last_values"),
            "[\n" + header(false, "run_001.dir") +
                "\t\t\"monitorRecords\": 2\n\t\t,\n\t\t\"lastValues\":\n\t\t{\n"
                "\t\t\t\"Time\":\t10\n\t\t\t,\n\t\t\t\"Q\":\t7.5\n\t\t\t,\n"
                "\t\t\t\"State\":\t\"n/a\"\n\t\t}\n\t}\n"
                "\t," + header(false, "run_002.dir") +
                "\t\t\"monitorRecords\": 0\n\t\t,\n\t\t\"lastValues\":\n\t\t{\n\t\t}\n\t}\n]\n");
  auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 3u);
  for (const auto& call : calls) {
    EXPECT_EQ(withoutOutFile(call),
              (Args{"-lastvaluesonly", "-out", "<out>", "-dir", FakePrograms::argumentAfter(call, "-dir")}));
  }
  expectTmpEmpty("aaS.list_monitors_last_values");

  fakes().setDefaultOutput("lastvaluesonly", "\"Time\",\"T\"\n5,300\n");
  EXPECT_EQ(json("aaS.list_saved_monitors_last_values"),
            "[\n" + header(true, "mc/cfg_1.res", multiConfig("Study saved", 0)) +
                "\t\t\"monitorRecords\": 1\n\t\t,\n\t\t\"lastValues\":\n\t\t{\n"
                "\t\t\t\"Time\":\t5\n\t\t\t,\n\t\t\t\"T\":\t300\n\t\t}\n\t}\n"
                "\t," + header(true, "s1.res") +
                "\t\t\"monitorRecords\": 1\n\t\t,\n\t\t\"lastValues\":\n\t\t{\n"
                "\t\t\t\"Time\":\t5\n\t\t\t,\n\t\t\t\"T\":\t300\n\t\t}\n\t}\n]\n");

  // Ragged data lines are format errors.
  fakes().setDefaultOutput("lastvaluesonly", "\"Time\",\"T\"\n5,300,1\n");
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_saved_monitors_last_values"), "EScriptGenericError",
      {{"errorInfo", "Unexpected format for monitor information (more values than variables)"}}));
  fakes().setDefaultOutput("lastvaluesonly", "\"Time\",\"T\"\n5\n");
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_saved_monitors_last_values"), "EScriptGenericError",
      {{"errorInfo", "Unexpected format for monitor information (less values than variables)"}}));
  expectTmpEmpty("the format errors");
}

TEST_F(BroxMonitorsE2eTest, PersistedDataWithEveryOption) {
  const std::string table =
      "\"Time\",\"Pressure\",\"Vel\"\"x\",\"Empty\"\n0,1.5,2,\n1,,3e2,\n";
  const std::string body =
      "\t\t\"monitorRecords\": 2\n\t\t,\n\t\t\"xAxis\":\t\"Time\"\n\t\t,\n\t\t\"yAxis\":\n" +
      items({"\"Pressure\"", "\"Vel\\\"x\""}) + "\t\t,\n\t\t\"Time\":\n" + items({"0", "1"}) +
      "\t\t,\n\t\t\"Pressure\":\n" + items({"1.5", "null"}) + "\t\t,\n\t\t\"Vel\\\"x\":\n" +
      items({"2", "3e2"}) + "\t}\n";
  fakes().setOutput("data", "run_001.dir", table);
  fakes().setOutput("data", "./run_001.dir", table);
  fakes().setDefaultOutput("data", "\"It\",\"R\"\n1,0.5\n");
  const std::string small =
      "\t\t\"monitorRecords\": 1\n\t\t,\n\t\t\"xAxis\":\t\"It\"\n\t\t,\n\t\t\"yAxis\":\n" +
      items({"\"R\""}) + "\t\t,\n\t\t\"It\":\n" + items({"1"}) + "\t\t,\n\t\t\"R\":\n" +
      items({"0.5"}) + "\t}\n";

  // Every run, no option.
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data"),
            "[\n" + header(false, "mc/cfg_1.dir", multiConfig("Study", 1)) + small + "\t," +
                header(false, "run_001.dir") + body + "\t," + header(false, "run_002.dir") + small +
                "]\n");
  auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 3u);
  for (const auto& call : calls) {
    EXPECT_EQ(withoutOutFile(call),
              (Args{"-out", "<out>", "-dir", FakePrograms::argumentAfter(call, "-dir")}));
  }

  // Every option; each value is one argument, the time steps as typed, and
  // the variable list without its enclosing quotes. The later session counts.
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data session-name run_002 start-time-step 5 "
                 "end-time-step 0012 variable-list \"Pressure;Vel x\" session-name run_001"),
            "[\n" + header(false, "run_001.dir") + body + "]\n");
  calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(withoutOutFile(calls[0]),
            (Args{"-out", "<out>", "-dir", "run_001.dir", "-firsttimestep", "5", "-lasttimestep",
                  "0012", "-varlist", "Pressure;Vel x"}));

  // Saved results, by session.
  EXPECT_EQ(json("aaS.list_saved_monitors_with_persisted_data variable-list R session-name s1"),
            "[\n" + header(true, "s1.res") + small + "]\n");
  calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(withoutOutFile(calls[0]), (Args{"-out", "<out>", "-res", "s1.res", "-varlist", "R"}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_saved_monitors_with_persisted_data session-name s9"),
      "EScriptGenericError", {{"errorInfo", "File does not exist:\ns9.res"}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_monitors_with_persisted_data session-name s1"),
      "EScriptGenericError", {{"errorInfo", "Folder does not exist:\ns1.dir"}}));

  // Argument errors: nothing runs.
  const std::string cmd = "aaS.list_monitors_with_persisted_data";
  auto argumentError = [&](const std::string& args, const std::string& description,
                           const std::string& position) {
    const std::string command = cmd + " " + args;
    EXPECT_TRUE(isException(client().tryExecute(command), "EInvalidArgument",
                            {{"code", "1"},
                             {"description", description},
                             {"scope", "BROX Instant aaS"},
                             {"interfaceName", "IBroxMonitors"},
                             {"operation", command},
                             {"moreInfo", "Instant aaS command:\n" + command},
                             {"position", position}}))
        << command;
  };
  const std::string invalid = "Invalid value for argument (positive integer expected):\n";
  argumentError("start-time-step 0", invalid + "start-time-step", "2");
  argumentError("session-name run_001 end-time-step 5x", invalid + "end-time-step", "4");
  argumentError("end-time-step -3", invalid + "end-time-step", "2");
  argumentError("start-time-step +4", invalid + "start-time-step", "2");
  argumentError("start-time-step \"7\"", invalid + "start-time-step", "2");
  argumentError("start-time-step 1 end-time-step", "Missing value for argument:\nend-time-step",
                "3");
  argumentError("color red", "Unknown argument:\ncolor", "1");
  EXPECT_TRUE(takeMonitorCalls().empty());
  expectTmpEmpty("the persisted-data listings");
}

TEST_F(BroxMonitorsE2eTest, OptionValuesRunNothing) {
  fakes().setDefaultOutput("data", "\"It\",\"R\"\n1,0.5\n");
  json("aaS.list_monitors_with_persisted_data session-name run_001 "
       "variable-list a;touch${IFS}x");
  json("aaS.list_monitors_with_persisted_data session-name run_001 "
       "variable-list \"b;touch y;$(touch z)\" start-time-step 1");
  const auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(withoutOutFile(calls[0]),
            (Args{"-out", "<out>", "-dir", "run_001.dir", "-varlist", "a;touch${IFS}x"}));
  EXPECT_EQ(withoutOutFile(calls[1]), (Args{"-out", "<out>", "-dir", "run_001.dir", "-varlist",
                                            "b;touch y;$(touch z)", "-firsttimestep", "1"}));
  // A session name is only ever a path to test.
  EXPECT_TRUE(isException(client().tryExecute("aaS.list_monitors_with_persisted_data "
                                               "session-name run_001;touch${IFS}w"),
                          "EScriptGenericError",
                          {{"errorInfo", "Folder does not exist:\nrun_001;touch${IFS}w.dir"}}));
  EXPECT_TRUE(takeMonitorCalls().empty());
  for (const std::string& dir :
       {workDir(), workFile("run_001.dir"), binDir(), serviceTmp(), logDir()}) {
    for (const char* name : {"x", "y", "z", "w"}) {
      EXPECT_FALSE(fileExists(dir + "/" + name)) << dir << "/" << name;
    }
  }
  expectTmpEmpty("the injection attempts");
}

}  // namespace
}  // namespace solvarium_test
