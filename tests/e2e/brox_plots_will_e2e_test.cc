// Brox report plots, variable names, the will, the monitor save and the stop
// program, over IIOP with the fake programs.
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/process.h"
#include "tests/support/brox_e2e_fixture.h"
#include "tests/support/joined_threads.h"

namespace solvarium_test {
namespace {

using Args = std::vector<std::string>;

const char kPlots[] =
    "<Plots>\n"
    " <Plot Name=\"Residuals\" DisplayName=\"Res\" Visibility=\"true\">\n"
    "  <XAxis DisplayName=\"Iteration\" LogarithmicScale=\"false\"/>\n"
    "  <YAxis DisplayName=\"Value\" LogarithmicScale=\"true\"/>\n"
    "  <PlotLine><XVar Name=\"Iteration\" DisplayName=\"It\"/>"
    "<YVar Name=\"Mass\" DisplayName=\"m\"/></PlotLine>\n"
    "  <PlotLine><XVar Name=\"Iteration\" DisplayName=\"It\"/>"
    "<YVar Name=\"Energy\" DisplayName=\"e\"/></PlotLine>\n"
    " </Plot>\n"
    " <Plot Name=\"Temps\" DisplayName=\"T\" Visibility=\"false\">\n"
    "  <XAxis DisplayName=\"Time\" LogarithmicScale=\"false\"/>\n"
    "  <YAxis DisplayName=\"K\" LogarithmicScale=\"false\"/>\n"
    "  <PlotLine><XVar Name=\"Time\" DisplayName=\"t\"/>"
    "<YVar Name=\"Temp\" DisplayName=\"T\"/></PlotLine>\n"
    " </Plot>\n"
    "</Plots>\n";

const char kData[] = "\"Iteration\",\"Mass\"\n1,0.5\n2,0.25\n";
const char kStopAnswer[] =
    "Terminate solver command issued. The command will be executed at the end of current "
    "iteration\n";

std::string plotLine(const std::string& x, const std::string& xd, const std::string& y,
                     const std::string& yd) {
  return "\t\t\t\t\t{\n\t\t\t\t\t\t\"xVarName\":\"" + x + "\",\n\t\t\t\t\t\t\"xVarDisplayName\":\"" +
         xd + "\",\n\t\t\t\t\t\t\"yVarName\":\"" + y + "\",\n\t\t\t\t\t\t\"yVarDisplayName\":\"" +
         yd + "\"\n\t\t\t\t\t}\n";
}

std::string plot(const std::string& name, const std::string& display, const std::string& visible,
                 const std::string& x, const std::string& xLog, const std::string& y,
                 const std::string& yLog, const std::vector<std::string>& lines) {
  std::string text = "\t\t\t{\n\t\t\t\t\"plotName\":\"" + name +
                     "\",\n\t\t\t\t\"plotDisplayName\":\"" + display +
                     "\",\n\t\t\t\t\"plotVisibility\":" + visible +
                     ",\n\t\t\t\t\"xAxisDisplayName\":\"" + x +
                     "\",\n\t\t\t\t\"xAxisLogarithmicScale\":" + xLog +
                     ",\n\t\t\t\t\"yAxisDisplayName\":\"" + y +
                     "\",\n\t\t\t\t\"yAxisLogarithmicScale\":" + yLog +
                     ",\n\t\t\t\t\"plotLines\":\n\t\t\t\t[\n";
  for (std::size_t i = 0; i < lines.size(); ++i) text += (i > 0 ? "\t\t\t\t\t,\n" : "") + lines[i];
  return text + "\t\t\t\t]\n\t\t\t}\n";
}

const std::string& massLine() {
  static const std::string line = plotLine("Iteration", "It", "Mass", "m");
  return line;
}
const std::string& residualsMassOnly() {
  static const std::string text =
      plot("Residuals", "Res", "true", "Iteration", "false", "Value", "true", {massLine()});
  return text;
}
const std::string& allPlots() {
  static const std::string text =
      "\t\t[\n" +
      plot("Residuals", "Res", "true", "Iteration", "false", "Value", "true",
           {massLine(), plotLine("Iteration", "It", "Energy", "e")}) +
      "\t\t\t,\n" +
      plot("Temps", "T", "false", "Time", "false", "K", "false", {plotLine("Time", "t", "Temp", "T")}) +
      "\t\t]\n";
  return text;
}

// "monitorType" and location of one run object, opening brace included.
std::string runHead(bool saved, const std::string& location) {
  return std::string("\t{\n\t\t\"monitorType\":\t\"") + (saved ? "SavedMonitor" : "DirectoryMonitor") +
         "\"\n\t\t,\n\t\t\"" + (saved ? "monitorFile" : "monitorDir") + "\":\t\"" + location +
         "\"\n\t\t,\n\t\t\"metaData\":\n";
}

// The data text kData gives in a report-plot answer.
const std::string& dataText() {
  static const std::string text =
      "\t\t,\"Data\":\n\n\t{\n\t\t\"monitorRecords\": 2\n\t\t,\n\t\t\"Iteration\":\n"
      "\t\t[\n\t\t\t1\n\t\t\t,\n\t\t\t2\n\t\t]\n\t\t,\n\t\t\"Mass\":\n"
      "\t\t[\n\t\t\t0.5\n\t\t\t,\n\t\t\t0.25\n\t\t]\n\t}\n";
  return text;
}

// Characters between the first "[" and the last "]"; empty without any "{".
std::string inner(const std::string& answer) {
  const std::size_t open = answer.find('[');
  const std::size_t close = answer.rfind(']');
  if (open == std::string::npos || close == std::string::npos || close <= open) return "";
  std::string text = answer.substr(open + 1, close - open - 1);
  return text.find('{') == std::string::npos ? "" : text;
}

class BroxPlotsWillE2eTest : public BroxE2eTest {
 protected:
  void SetUp() override {
    makeDir("run_001.dir");
    makeDir("my run.dir");
    writeFile(workFile("s1.res"), "saved");
    fakes().setDefaultOutput("plotinfo", kPlots);
    fakes().setDefaultOutput("data", kData);
    startService();
  }
  std::string will() { return json("aaS.retrieve_will"); }
  std::vector<std::string> workTempFiles() {
    std::vector<std::string> found;
    for (const std::string& name : listDirectory(workDir()))
      if (name.find("tmp") != std::string::npos) found.push_back(name);
    return found;
  }
};

TEST_F(BroxPlotsWillE2eTest, ReportPlotsAndTheirPersistedData) {
  EXPECT_EQ(json("aaS.list_report_plots"),
            "[\n" + runHead(false, "my run.dir") + allPlots() + "\t}\n\t," +
                runHead(false, "run_001.dir") + allPlots() + "\t}\n]\n");
  auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 2u);
  std::vector<Args> seen = {withoutOutFile(calls[0]), withoutOutFile(calls[1])};
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, (std::vector<Args>{{"-plotinfo", "-out", "<out>", "-dir", "./my run.dir"},
                                     {"-plotinfo", "-out", "<out>", "-dir", "./run_001.dir"}}));

  // Filters, a session with a blank (quoted), and the time steps given to
  // the monitor listing end first.
  EXPECT_EQ(json("aaS.list_report_plots_with_persisted_data start-time-step 3 session-name "
                 "\"my run\" variable-list \"Mass\" end-time-step 9 plot-list \"Residuals\""),
            "[\n" + runHead(false, "my run.dir") + "\t\t[\n" + residualsMassOnly() + "\t\t]\n" +
                dataText() + "\t}\n]\n");
  calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(withoutOutFile(calls[0]), (Args{"-plotinfo", "-out", "<out>", "-dir", "./my run.dir"}));
  EXPECT_EQ(withoutOutFile(calls[1]),
            (Args{"-out", "<out>", "-dir", "./my run.dir", "-varlist", "Mass", "-lasttimestep", "9",
                  "-firsttimestep", "3"}));

  // The quoted session stays quoted in the will, escaped in its JSON, and a
  // save replays it.
  EXPECT_EQ(will(),
            "{\n\t\"session-name\":\t\"\\\"my run\\\"\"\n\t,\n\t\"attributes\":\n\t[\n"
            "\t\t\"plot-list\"\n\t\t,\n\t\t\"\\\"Residuals\\\"\"\n\t\t,\n"
            "\t\t\"variable-list\"\n\t\t,\n\t\t\"\\\"Mass\\\"\"\n\t]\n}\n");
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data monitor.json"),
            "JSON monitors saved in 'monitor.json'.\n");
  EXPECT_EQ(readFile(workFile("monitor.json")),
            "[\n\n" + runHead(false, "my run.dir") + "\t\t[\n" + residualsMassOnly() + "\t\t]\n" +
                dataText() + "\t}\n\n]\n");
  takeMonitorCalls();

  // Without a variable filter the plotted variables are asked for.
  EXPECT_EQ(json("aaS.list_saved_report_plots_with_persisted_data"),
            "[\n" + runHead(true, "s1.res") + allPlots() + dataText() + "\t}\n]\n");
  calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(withoutOutFile(calls[1]), (Args{"-out", "<out>", "-res", "./s1.res", "-varlist",
                                            "Energy;Iteration;Mass;Temp;Time"}));
  // No plot selected: no monitor listing, "Data" is {}.
  EXPECT_EQ(json("aaS.list_saved_report_plots_with_persisted_data plot-list \"None\""),
            "[\n" + runHead(true, "s1.res") + "\t\t[\n\t\t]\n\t\t,\"Data\":\n{}\t}\n]\n");
  EXPECT_EQ(takeMonitorCalls().size(), 1u);
  expectTmpEmpty("the report-plot listings");

  for (const char* args : {" plot-list", " color red", " session-name a session-name b", " plot-list \"A\" x"}) {
    const std::string command = std::string("aaS.list_report_plots") + args;
    EXPECT_TRUE(isException(client().tryExecute(command), "EScriptGenericError",
                            {{"command", command},
                             {"errorInfo", "command [" + command + "] has invalid parameters"}}));
  }

  // Output that is not XML is the kind's script error, not an empty answer.
  fakes().setOutput("plotinfo", "./run_001.dir", "<Plots><Plot Name=\"a\">");
  Outcome broken = client().tryExecute("aaS.list_report_plots");
  ASSERT_TRUE(isException(broken, "EScriptGenericError", {{"command", "aaS.list_report_plots"}}))
      << broken;
  EXPECT_EQ(broken.member("errorInfo").find("Cannot parse the output of broxmondata for "
                                            "./run_001.dir:\n"),
            0u)
      << broken;
  EXPECT_GT(broken.member("errorInfo").size(), 60u) << broken;  // the parser's message
  fakes().setOutput("plotinfo", "./run_001.dir",
                    "<!DOCTYPE p [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><Plots>&e;</Plots>");
  EXPECT_TRUE(isException(client().tryExecute("aaS.list_report_plots"), "EScriptGenericError"));
  EXPECT_TRUE(service().waitForStderr("parse exception: "));
  expectTmpEmpty("the parse failures");
}

TEST_F(BroxPlotsWillE2eTest, VariableNames) {
  fakes().setDefaultOutput("varinfo",
                           "<Variables><Variable Name=\"Mass\" Unit=\"kg\"/>"
                           "<Variable Name=\"Q&quot;x\" Unit=\"a\\b\"/></Variables>");
  const std::string meta =
      "\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"Mass\"\n\t\t\t\t,\"Unit\":\"kg\"\n\t\t\t}\n"
      "\t\t\t,{\n\t\t\t\t\"Name\":\"Q\\\"x\"\n\t\t\t\t,\"Unit\":\"a\\\\b\"\n\t\t\t}\n\t\t]\n";
  EXPECT_EQ(json("aaS.list_all_variable_names"),
            "[\n" + runHead(false, "my run.dir") + meta + "\t}\n\t," + runHead(false, "run_001.dir") +
                meta + "\t}\n\t," + runHead(true, "s1.res") + meta + "\t}\n]\n");
  EXPECT_EQ(takeMonitorCalls().size(), 3u);
  EXPECT_EQ(json("aaS.list_saved_variable_names session-name ./s1"),
            "[\n" + runHead(true, "s1.res") + meta + "\t}\n]\n");
  EXPECT_EQ(json("aaS.list_active_variable_names session-name s1"), "[\n]\n");
  auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(withoutOutFile(calls[0]), (Args{"-varinfo", "-out", "<out>", "-res", "./s1.res"}));

  for (const char* args : {" session-name", " session-name a session-name b", " x y"}) {
    const std::string command = std::string("aaS.list_all_variable_names") + args;
    EXPECT_TRUE(isException(client().tryExecute(command), "EScriptGenericError",
                            {{"errorInfo", "command [" + command + "] has invalid parameters"}}));
  }
  fakes().setOutput("varinfo", "./s1.res", "<Variables><Variable Name=\"a\"></Variables>");
  Outcome broken = client().tryExecute("aaS.list_saved_variable_names");
  ASSERT_TRUE(isException(broken, "EScriptGenericError")) << broken;
  EXPECT_EQ(broken.member("errorInfo").find("Cannot parse the output of broxmondata for ./s1.res:\n"),
            0u)
      << broken;
  expectTmpEmpty("the variable listings");
}

TEST_F(BroxPlotsWillE2eTest, WillFollowsTheReportPlotCommands) {
  EXPECT_EQ(client().execute("aaS.get implicit_will_amends"), "on");
  EXPECT_EQ(client().execute("aaS.set implicit_will_amends on"), "<implicit_will_amends> is already on");
  EXPECT_EQ(will(), "{\n}\n");
  EXPECT_TRUE(isException(client().tryExecute("aaS.retrieve_will now"), "EScriptGenericError",
                          {{"errorInfo", "command [aaS.retrieve_will] does not have parameters"}}));

  // Empty will: the metadata is both plain listings.
  const std::string a = json("aaS.list_report_plots");
  const std::string b = json("aaS.list_saved_report_plots");
  takeMonitorCalls();
  EXPECT_EQ(json("aaS.retrieve_will_metadata"), "[\n" + inner(a) + "\n,\n" + inner(b) + "\n]\n");
  EXPECT_EQ(takeMonitorCalls().size(), 3u);  // plot information only
  EXPECT_TRUE(isException(client().tryExecute("aaS.retrieve_will_metadata x"),
                          "EScriptGenericError", {{"errorInfo", "Invalid option[x]"}}));

  const std::string options = " session-name run_001 plot-list \"Residuals\" variable-list \"Mass\"";
  json("aaS.list_report_plots" + options);
  const std::string willText =
      "{\n\t\"session-name\":\t\"run_001\"\n\t,\n\t\"attributes\":\n\t[\n\t\t\"plot-list\"\n"
      "\t\t,\n\t\t\"\\\"Residuals\\\"\"\n\t\t,\n\t\t\"variable-list\"\n\t\t,\n"
      "\t\t\"\\\"Mass\\\"\"\n\t]\n}\n";
  EXPECT_EQ(will(), willText);
  // A failing report-plot command leaves the will.
  EXPECT_FALSE(client().tryExecute("aaS.list_report_plots plot-list").ok);
  EXPECT_EQ(will(), willText);
  // The metadata replays the will with persisted data.
  const std::string withData = json("aaS.list_report_plots_with_persisted_data" + options);
  EXPECT_EQ(json("aaS.list_saved_report_plots_with_persisted_data" + options), "[\n]\n");
  takeMonitorCalls();
  EXPECT_EQ(json("aaS.retrieve_will_metadata"), "[\n" + inner(withData) + "\n]\n");
  EXPECT_EQ(takeMonitorCalls().size(), 2u);  // plot information and data of run_001
  EXPECT_EQ(will(), willText);
  // A listing without plot or variable list empties the will.
  json("aaS.list_saved_report_plots session-name s1");
  EXPECT_EQ(will(), "{\n}\n");

  // Switched off, only the amend command changes the will.
  EXPECT_EQ(client().execute("aaS.set implicit_will_amends off"), "<implicit_will_amends> turned off.");
  EXPECT_EQ(client().execute("aaS.set implicit_will_amends off"), "<implicit_will_amends> is already off");
  EXPECT_EQ(client().execute("aaS.get implicit_will_amends"), "off");
  takeMonitorCalls();
  EXPECT_EQ(client().execute("aaS.amend_report_plots_will plot-list \"Temps\""),
            "BROX Will updated with new <plot-list>:\n\t\"Temps\"\n"
            "BROX Will updated to include all sessions.\n"
            "BROX Will updated to include all default variables.\n");
  const std::string tempsWill =
      "{\n\t\"session-name\":\t\"\"\n\t,\n\t\"attributes\":\n\t[\n\t\t\"plot-list\"\n"
      "\t\t,\n\t\t\"\\\"Temps\\\"\"\n\t]\n}\n";
  EXPECT_EQ(will(), tempsWill);
  json("aaS.list_report_plots variable-list \"Mass\"");
  EXPECT_EQ(will(), tempsWill);
  EXPECT_EQ(client().execute("aaS.amend_report_plots_will session-name s1"),
            "BROX Will updated with new <session-name>:\n\ts1\n"
            "BROX Will updated to include all default plots.\n"
            "BROX Will updated to include all default variables.\n");
  EXPECT_EQ(will(), "{\n}\n");
  EXPECT_EQ(client().execute("aaS.amend_report_plots_will"),
            "BROX Will updated to include all sessions.\n"
            "BROX Will updated to include all default plots.\n"
            "BROX Will updated to include all default variables.\n");
  EXPECT_EQ(takeMonitorCalls().size(), 2u);  // only the listing ran the program, once per run
  EXPECT_EQ(client().execute("aaS.set implicit_will_amends on"), "<implicit_will_amends> turned on.");
  EXPECT_TRUE(isException(client().tryExecute("aaS.set implicit_will_amends maybe"),
                          "EScriptGenericError",
                          {{"errorInfo", "Invalid command[aaS.set implicit_will_amends maybe]"}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.get implicit_will_amends x"),
                          "EScriptGenericError",
                          {{"errorInfo", "Invalid command[aaS.get implicit_will_amends x]"}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.get"), "EScriptGenericError",
                          {{"errorInfo", "Invalid command[aaS.get]"}}));
}

TEST_F(BroxPlotsWillE2eTest, MonitorSaveOnCommandOnTickAndAtShutdown) {
  EXPECT_TRUE(isException(client().tryExecute("aaS.save_report_plots_with_persisted_data"),
                          "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "JSON persisted monitors filename"},
                           {"defaultAnswer", "monitor.json"}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.save_report_plots_with_persisted_data a b"),
                          "EScriptGenericError", {{"errorInfo", "Invalid command[b]"}}));

  const std::string a = json("aaS.list_report_plots_with_persisted_data");
  const std::string b = json("aaS.list_saved_report_plots_with_persisted_data");
  const std::string expected = "[\n" + inner(a) + "\n\t,\n" + inner(b) + "\n]\n";
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data ,"),
            "JSON monitors saved in 'monitor.json'.\n");
  EXPECT_EQ(readFile(workFile("monitor.json")), expected);
  EXPECT_TRUE(isValidJson(readFile(workFile("monitor.json"))));

  // A failing save keeps the previous file whole and leaves no temporary.
  fakes().setOutput("plotinfo", "./s1.res", "<Plots><Plot");
  EXPECT_TRUE(isException(client().tryExecute("aaS.save_report_plots_with_persisted_data ,"),
                          "EScriptGenericError"));
  EXPECT_EQ(readFile(workFile("monitor.json")), expected);
  fakes().setOutput("plotinfo", "./s1.res", kPlots);
  makeDir("busy");
  writeFile(workFile("busy/keep"), "x");
  // A folder cannot be opened for writing: refused before anything runs.
  EXPECT_TRUE(isException(client().tryExecute("aaS.save_report_plots_with_persisted_data busy"),
                          "EScriptGenericError", {{"errorInfo", "Cannot open output file name."}}));
  EXPECT_EQ(readFile(workFile("busy/keep")), "x");
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.save_report_plots_with_persisted_data ../outside.json"),
      "EScriptGenericError", {{"errorInfo", "Cannot open output file name."}}));
  EXPECT_FALSE(fileExists(workDir() + "/../outside.json"));
  EXPECT_TRUE(workTempFiles().empty()) << workTempFiles()[0];
  // The fixed answers leave out why; standard error says it.
  service().waitForStderr("Brox report-plot save: Refused '../outside.json'");
  const std::string err = service().stderrText();
  EXPECT_NE(err.find("Brox report-plot save: Cannot replace '"), std::string::npos) << err;
  EXPECT_NE(err.find("/busy': Is a directory\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Brox report-plot save: Refused '../outside.json': it lies outside '"),
            std::string::npos) << err;
  unlink(workFile("busy/keep").c_str());
  rmdir(workFile("busy").c_str());

  // The will names a configuration of a multi-configuration run: every
  // configuration is saved, in name order.
  makeDir("mc");
  makeDir("mc/cfg_1.dir");
  makeDir("mc/cfg_0.dir");
  setRuns({"./mc\tStudy\t1\t0\t\tcfg_1,cfg_0"});
  client().execute("aaS.amend_report_plots_will session-name mc/cfg_1 plot-list \"Temps\"");
  const std::string c0 = json(
      "aaS.list_report_plots_with_persisted_data plot-list \"Temps\" session-name ./mc/cfg_0");
  const std::string c1 = json(
      "aaS.list_report_plots_with_persisted_data plot-list \"Temps\" session-name ./mc/cfg_1");
  EXPECT_NE(c0.find("\"multiConfigIndex\":\t1\n"), std::string::npos) << c0;
  client().execute("aaS.amend_report_plots_will session-name mc/cfg_1 plot-list \"Temps\"");
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data study.json"),
            "JSON monitors saved in 'study.json'.\n");
  EXPECT_EQ(readFile(workFile("study.json")), "[\n" + inner(c0) + "\n\t,\n" + inner(c1) + "\n]\n");
  // The replayed commands leave the will as the client set it.
  EXPECT_EQ(will(),
            "{\n\t\"session-name\":\t\"mc/cfg_1\"\n\t,\n\t\"attributes\":\n\t[\n"
            "\t\t\"plot-list\"\n\t\t,\n\t\t\"\\\"Temps\\\"\"\n\t]\n}\n");
  client().execute("aaS.amend_report_plots_will");

  // Auto-save period and the minute tick.
  EXPECT_TRUE(isException(client().tryExecute("aaS.set_auto_save_period_json_monitors"),
                          "EReadUnquotedString",
                          {{"questionPrompt", "Auto-Save period in minutes"}, {"defaultAnswer", "1"}}));
  for (const char* bad : {"0", "-3", "5x", "five", "2.5"}) {
    EXPECT_TRUE(isException(client().tryExecute(std::string("aaS.set_auto_save_period_json_monitors ") + bad),
                            "EScriptGenericError",
                            {{"errorInfo", "Please provide a positive number for auto-save period."}}))
        << bad;
  }
  EXPECT_TRUE(isException(client().tryExecute("aaS.set_auto_save_period_json_monitors 1 2"),
                          "EScriptGenericError", {{"errorInfo", "Invalid command[2]"}}));
  // A failing save at the tick is reported, not raised, and keeps the file.
  const std::string before = readFile(workFile("monitor.json"));
  fakes().setOutput("plotinfo", "./s1.res", "not xml");
  EXPECT_EQ(client().execute("aaS_internal.tic_one_minute"), "");
  EXPECT_EQ(readFile(workFile("monitor.json")), before);
  EXPECT_TRUE(service().waitForStdout("Auto-save of monitor.json failed", seconds(2)))
      << service().stdoutText();
  fakes().setOutput("plotinfo", "./s1.res", kPlots);
  EXPECT_EQ(client().execute("aaS.set_auto_save_period_json_monitors 2"),
            "Auto-Save period set to 2 minutes.");
  EXPECT_TRUE(isException(client().tryExecute("aaS.set_auto_save_period_json_monitors"),
                          "EReadUnquotedString", {{"defaultAnswer", "2"}}));
  ASSERT_EQ(unlink(workFile("monitor.json").c_str()), 0);
  EXPECT_EQ(client().execute("aaS_internal.tic_one_minute"), "");
  EXPECT_FALSE(fileExists(workFile("monitor.json")));
  EXPECT_EQ(client().execute("aaS_internal.tic_one_minute"), "");
  const std::string saved = readFile(workFile("monitor.json"));
  EXPECT_TRUE(isValidJson(saved)) << saved;
  EXPECT_NE(saved.find("\"monitorDir\":\t\"mc/cfg_0.dir\""), std::string::npos) << saved;

  // At shutdown the monitors are saved once more.
  ASSERT_EQ(unlink(workFile("monitor.json").c_str()), 0);
  EXPECT_TRUE(client().broxUnit()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
  EXPECT_EQ(readFile(workFile("monitor.json")), saved);
  EXPECT_TRUE(workTempFiles().empty());
  expectTmpEmpty("the saves");
}

// SIGTERM, SIGINT, SIGHUP and SIGXCPU end the service as a shutdown call
// does: the final save, exit code 0; SIGUSR1, SIGUSR2 and SIGALRM do not. A
// SIGINT ignored at start (a background job) stays ignored; signals blocked
// by the launcher are unblocked; a write past the file size limit fails and
// the service goes on.
TEST_F(BroxPlotsWillE2eTest, StopSignalsEndWithTheFinalSave) {
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data expected.json"),
            "JSON monitors saved in 'expected.json'.\n");
  const std::string expected = readFile(workFile("expected.json"));
  ASSERT_TRUE(isValidJson(expected)) << expected;
  for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGXCPU}) {
    SCOPED_TRACE(signal);
    if (signal != SIGTERM) {
      ::unlink(workFile("aaS_BROXSolvarium.txt").c_str());
      ::unlink(workFile("instant_aaS_BROXSolvarium.txt").c_str());
      startService();
    }
    ::unlink(workFile("monitor.json").c_str());
    if (signal == SIGXCPU) {
      for (const int other : {SIGUSR1, SIGUSR2, SIGALRM}) ASSERT_EQ(::kill(service().pid(), other), 0);
      EXPECT_TRUE(service().waitForStderr("SIGALRM received: ignored\n"));
    }
    ASSERT_EQ(::kill(service().pid(), signal), 0);
    EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
    EXPECT_EQ(readFile(workFile("monitor.json")), expected);
  }
  EXPECT_NE(service().stderrText().find("SIGXCPU received: shutting down\n"), std::string::npos);

  ServiceProcess::Options background = broxOptions();
  background.env["TMP"] = serviceTmp();
  background.env["TMPDIR"] = serviceTmp();
  background.program = "/usr/bin/python3";
  background.argv = {"python3", "-c",
                     "import os, resource, signal as s, sys\n"
                     "s.signal(s.SIGINT, s.SIG_IGN); s.signal(s.SIGXFSZ, s.SIG_DFL)\n"
                     "s.pthread_sigmask(s.SIG_BLOCK, {s.SIGTERM, s.SIGINT, s.SIGHUP})\n"
                     "resource.setrlimit(resource.RLIMIT_FSIZE, (1 << 20, 1 << 20))\n"
                     "os.execv(sys.argv[1], sys.argv[1:])",
                     SOLVARIUM_BINARY, "-solver", "brox"};
  ::unlink(workFile("aaS_BROXSolvarium.txt").c_str());
  ::unlink(workFile("instant_aaS_BROXSolvarium.txt").c_str());
  ServiceProcess& svc = start(background);
  ASSERT_TRUE(svc.waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
      << svc.stdoutText();
  ::unlink(workFile("monitor.json").c_str());
  ASSERT_EQ(::kill(svc.pid(), SIGINT), 0);
  std::this_thread::sleep_for(milliseconds(500));
  EXPECT_TRUE(svc.running());
  KORLEN_AAS_v1_0_0::Types::CoOctetBuffer big;
  big.length(2 << 20);
  const Outcome upload = capture([&] {
    client().fileSystem()->uploadFile("big.bin", big);
    return std::string();
  });
  EXPECT_TRUE(isException(upload, "EUnknown", {{"description", "File write operation failed!"}}))
      << upload;
  EXPECT_TRUE(workTempFiles().empty());
  ASSERT_EQ(::kill(svc.pid(), SIGTERM), 0);
  EXPECT_EQ(svc.waitForExit(seconds(20)), std::optional<int>(0));
  EXPECT_EQ(readFile(workFile("monitor.json")), expected);

  // A limit on tasks of a user of its own (one that no other test uses at the
  // same time): it serves a client and stops with the final save, or says why.
  ServiceProcess::Options quiet = broxOptions();  // the session manager takes no more
  quiet.env["TMP"] = quiet.env["TMPDIR"] = serviceTmp();
  quiet.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  const std::vector<std::string> keys = {"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"};
  for (const std::string& d : {workDir() + "/..", workDir(), serviceTmp()}) ::chmod(d.c_str(), 0777);
  const std::string user = std::to_string(40000 + ::getpid() % 20000);
  const std::vector<std::string> asUser = {"setpriv", "--reuid=" + user, "--regid=" + user,
                                           "--clear-groups"};
  ServiceProcess::Options probe = quiet;  // a checkout in a private folder: that user cannot run it
  probe.program = "/usr/bin/setpriv";
  probe.argv = asUser;
  probe.argv.insert(probe.argv.end(), {"/usr/bin/test", "-x", SOLVARIUM_BINARY, "-a", "-r",
                                       SOLVARIUM_SOURCE_DIR "/tests/sanitizers/lsan.supp"});
  const bool runnable = ::geteuid() == 0 && start(probe).waitForExit(seconds(10)) == 0;
  // The save's program takes the task kept for it, and makes no other.
  writeProgram("broxmondata", "while [ \"$1\" != -out ]; do shift; done\necho '<Plots/>' > \"$2\"\n");
  bool served = false;  // at the least limit that serves, a stop still saves
  for (int tasks = 1; tasks <= 9 && runnable && !served; ++tasks) {
    ServiceProcess::Options limited = quiet;
    limited.program = "/usr/bin/prlimit";
    limited.argv = {"prlimit", "--nproc=" + std::to_string(tasks)};
    limited.argv.insert(limited.argv.end(), asUser.begin(), asUser.end());
    limited.argv.insert(limited.argv.end(), {SOLVARIUM_BINARY, "-solver", "brox"});
    for (const std::string& key : keys) ::unlink(workFile(key).c_str());
    ::unlink(workFile("monitor.json").c_str());
    ServiceProcess& capped = start(limited);
    served = capped.waitForKeyFiles(keys);
    if (served) {
      EXPECT_TRUE(client().tryExecute("aaS.get_status").ok) << tasks;
      ::kill(capped.pid(), SIGTERM);
    }
    EXPECT_EQ(capped.waitForExit(seconds(40)), std::optional<int>(served ? 0 : 1)) << tasks;
    EXPECT_EQ(fileExists(workFile("monitor.json")), served) << capped.stderrText();
    const std::string err = capped.stderrText();
    const std::size_t cause = err.find("Start-up failed: ");  // one, on a thread or task
    EXPECT_TRUE(served || (err.find(": raise the limit on threads", cause) != std::string::npos &&
                           err.find("Start-up failed", cause + 1) == std::string::npos)) << err;
    EXPECT_EQ(fileExists(workFile(keys[0])), served);
  }
  EXPECT_TRUE(served || !runnable);  // from 8 tasks on; a sanitizer's own thread takes one more

  // A second stop signal cuts the final save short, while its program hangs
  // or while it writes a large file: nothing of the save stays.
  std::string large = "\"Iteration\",\"Mass\"\n";
  while (large.size() < (40u << 20)) large += std::to_string(large.size()) + ",0.5\n";
  for (const bool writing : {false, true}) {
    for (const std::string& key : keys) ::unlink(workFile(key).c_str());
    ASSERT_TRUE(start(quiet).waitForKeyFiles(keys));
    writeFile(workFile("monitor.json"), "previous");
    if (writing) fakes().install("broxmondata");
    if (writing) fakes().setOutput("data", "./s1.res", large);
    if (!writing) writeProgram("broxmondata", "sleep 20\n");
    ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
    EXPECT_TRUE(service().waitForStderr("SIGTERM received: shutting down\n"));
    if (writing) {
      EXPECT_TRUE(waitUntil([&] { return !workTempFiles().empty(); }, seconds(20), milliseconds(1)));
    } else {
      std::this_thread::sleep_for(milliseconds(500));
    }
    ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
    // ThreadSanitizer holds the handler while the main thread waits for the program.
    EXPECT_EQ(service().waitForExit(seconds(25)), std::optional<int>(3));
    EXPECT_NE(service().stderrText().find("Shutdown: a second stop signal (SIGTERM): the final "
                                          "save is cut short\n"), std::string::npos);
    EXPECT_EQ(readFile(workFile("monitor.json")), "previous");
    EXPECT_TRUE(workTempFiles().empty()) << workTempFiles()[0];
    expectTmpEmpty("a save cut short");
  }
}

// A `shutdown` call while a request runs on (its program hangs) is answered
// at once; the end has the deadline of a stop signal, names what held it up,
// and takes the program with it.
TEST_F(BroxPlotsWillE2eTest, AShutdownCallHeldUpByARequestEndsAtTheDeadline) {
  writeProgram("broxmondata", "echo $$ > '" + workFile("program.pid") + "'\nexec sleep 100\n");
  ServiceClient& calls = client();  // made before two threads use it
  JoinedThreads hung;
  hung.start([&calls] { calls.tryExecute("aaS.list_report_plots"); });
  ASSERT_TRUE(waitUntil([&] { return fileExists(workFile("program.pid")); }, seconds(10)));
  const auto stop = std::chrono::steady_clock::now();
  EXPECT_TRUE(calls.broxUnit()->shutdown());
  EXPECT_LE(std::chrono::steady_clock::now() - stop, seconds(5));
  EXPECT_EQ(service().waitForExit(seconds(45)), std::optional<int>(3)) << service().stderrText();
  const auto took = std::chrono::steady_clock::now() - stop;
  EXPECT_GE(took, seconds(29));
  EXPECT_LE(took, seconds(35));
  EXPECT_NE(service().stderrText().find("Shutdown: a request still runs 30 s after shutdown "
                                        "began: the final save is skipped\n"),
            std::string::npos) << service().stderrText();
  long program = 0;
  std::istringstream(readFile(workFile("program.pid"))) >> program;
  EXPECT_FALSE(solvarium::platform::isProcessAlive(program));
}

TEST_F(BroxPlotsWillE2eTest, StopProgramGetsTheDirectoryAsOneArgument) {
  EXPECT_EQ(client().execute("aaS.terminate_solver \"my run.dir\""),
            std::string("broxstop -directory \"my run.dir\"\n") + kStopAnswer);
  auto calls = fakes().calls("broxstop");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (Args{"-directory", "my run.dir"}));

  setRuns({"./my run.dir\tmine\t0\t0\t\t", "./run_001.dir\tdone\t0\t1\tConverged\t"});
  fakes().clearCalls("broxstop");
  EXPECT_EQ(client().execute("aaS.terminate"),
            "Terminating ./my run.dir ...\nbroxstop -directory ./my run.dir\n" +
                std::string(kStopAnswer) + "Done!\n");
  calls = fakes().calls("broxstop");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0], (Args{"-directory", "./my run.dir"}));

  fakes().clearCalls("broxstop");
  EXPECT_TRUE(isException(client().tryExecute("aaS.terminate_solver run_001.dir;touch${IFS}v"),
                          "EReadUnquotedString",
                          {{"questionPrompt", "Brox directory provided does not exist"},
                           {"questionMessage", "run_001.dir;touch${IFS}v"}}));
  EXPECT_TRUE(fakes().calls("broxstop").empty());
  EXPECT_FALSE(fileExists(workFile("v")));
}

TEST_F(BroxPlotsWillE2eTest, FinalSaveThatKeepsFailingIsRecorded) {
  writeFile(workFile("monitor.json"), "previous");
  fakes().setOutput("plotinfo", "./s1.res", "<Plots");
  takeMonitorCalls();
  EXPECT_TRUE(client().broxUnit()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(4));
  EXPECT_EQ(readFile(workFile("monitor.json")), "previous");
  EXPECT_EQ(readFile(workFile("aas_instant_error.txt")),
            "Unknown error:\nCannot create BROX monitor.json after 10 tries\n");
  int savedRuns = 0;
  for (const auto& call : takeMonitorCalls()) {
    if (FakePrograms::argumentAfter(call, "-res") == "./s1.res") ++savedRuns;
  }
  EXPECT_EQ(savedRuns, 10);
  EXPECT_TRUE(workTempFiles().empty());
  expectTmpEmpty("the final saves");
}

}  // namespace
}  // namespace solvarium_test
