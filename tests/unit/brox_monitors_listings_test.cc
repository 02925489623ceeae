// BroxMonitors report-plot and variable-name listings, end to end through
// the fake monitor-data program and the test-only run-status library.
#include <string>
#include <vector>

#include "tests/support/expect_throw.h"
#include "tests/support/json_check.h"
#include "tests/unit/brox_monitors_fixture.h"

namespace solvarium_test {
namespace {

using BROX::BroxMonitors;
using Tokens = BROX::Tokens;

std::string text(const CORBA::String_member& member) { return static_cast<const char*>(member); }

const char kPlots[] =
    "<Plots><Plot Name=\"Residuals\" DisplayName=\"Res\" Visibility=\"true\">"
    "<XAxis DisplayName=\"Iteration\" LogarithmicScale=\"false\"/>"
    "<YAxis DisplayName=\"Value\" LogarithmicScale=\"true\"/>"
    "<PlotLine><XVar Name=\"Iteration\" DisplayName=\"It\"/>"
    "<YVar Name=\"Mass\" DisplayName=\"m\"/></PlotLine></Plot></Plots>";

const char kVariables[] =
    "<VarInfo><Variables><Variable Name=\"Mass\" Unit=\"kg\"/></Variables></VarInfo>";

class BroxListingsTest : public BroxMonitorsTest {
 protected:
  // Runs a listing operation; the answer must be valid JSON.
  std::string plots(const Tokens& tokens) {
    std::string answer = "stale";
    monitors().listReportPlots(answer, tokens, join(tokens));
    std::string error;
    EXPECT_TRUE(isValidJson(answer, &error)) << error << "\n" << answer;
    return answer;
  }
  std::string variables(const Tokens& tokens) {
    std::string answer;
    monitors().listVariableNames(answer, tokens, join(tokens));
    std::string error;
    EXPECT_TRUE(isValidJson(answer, &error)) << error << "\n" << answer;
    return answer;
  }
  // The errorInfo of the script error a listing raises ("" and a failure when none).
  std::string plotsError(const Tokens& tokens) {
    std::string answer;
    return errorInfo([&] { monitors().listReportPlots(answer, tokens, join(tokens)); });
  }
  std::string variablesError(const Tokens& tokens) {
    std::string answer;
    return errorInfo([&] { monitors().listVariableNames(answer, tokens, join(tokens)); });
  }
  template <typename Call>
  static std::string errorInfo(Call call) {
    const auto e = expectThrow<BroxExc::EInstantScriptError>(call);
    return e ? text(e->errorInfo) : std::string();
  }
  static std::string join(const Tokens& tokens) {
    std::string command;
    for (const std::string& token : tokens) command += (command.empty() ? "" : " ") + token;
    return command;
  }
  BroxMonitors& monitors() {
    if (!monitors_) monitors_.reset(new BroxMonitors(will(), broxBin()));
    return *monitors_;
  }

 private:
  std::unique_ptr<BroxMonitors> monitors_;
};

TEST_F(BroxListingsTest, EmptyWorkingDirectory) {
  EXPECT_EQ(plots({"aaS.list_report_plots"}), "[\n]\n");
  EXPECT_EQ(plots({"aaS.list_saved_report_plots_with_persisted_data"}), "[\n]\n");
  EXPECT_EQ(variables({"aaS.list_all_variable_names"}), "[\n]\n");
  EXPECT_TRUE(fakes().calls("broxmondata").empty());

  writeFile(work() + "/fake_quennet_fail.txt", "no status");
  EXPECT_EQ(plotsError({"aaS.list_report_plots"}), "no status");
  EXPECT_EQ(variablesError({"aaS.list_all_variable_names"}), "no status");
  EXPECT_EQ(plotsError({"aaS.amend_report_plots_will"}), "no status");
}

TEST_F(BroxListingsTest, ReportPlotsInPathOrderWithMultiConfiguration) {
  makeDir("run_b.dir");
  makeDir("run_a.dir");
  makeDir("mc");
  makeDir("mc/cfg_001.dir");
  setRuns({"./mc\tStudy \"1\"\t1\t0\t\tcfg_000,cfg_001"});
  fakes().setDefaultOutput("plotinfo", kPlots);

  const std::string answer = plots({"aaS.list_report_plots"});
  const std::string metaData =
      "\t\t\"metaData\":\n"
      "\t\t[\n"
      "\t\t\t{\n"
      "\t\t\t\t\"plotName\":\"Residuals\",\n"
      "\t\t\t\t\"plotDisplayName\":\"Res\",\n"
      "\t\t\t\t\"plotVisibility\":true,\n"
      "\t\t\t\t\"xAxisDisplayName\":\"Iteration\",\n"
      "\t\t\t\t\"xAxisLogarithmicScale\":false,\n"
      "\t\t\t\t\"yAxisDisplayName\":\"Value\",\n"
      "\t\t\t\t\"yAxisLogarithmicScale\":true,\n"
      "\t\t\t\t\"plotLines\":\n"
      "\t\t\t\t[\n"
      "\t\t\t\t\t{\n"
      "\t\t\t\t\t\t\"xVarName\":\"Iteration\",\n"
      "\t\t\t\t\t\t\"xVarDisplayName\":\"It\",\n"
      "\t\t\t\t\t\t\"yVarName\":\"Mass\",\n"
      "\t\t\t\t\t\t\"yVarDisplayName\":\"m\"\n"
      "\t\t\t\t\t}\n"
      "\t\t\t\t]\n"
      "\t\t\t}\n"
      "\t\t]\n";
  const std::string head = "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n\t\t,\n";
  EXPECT_EQ(answer, "[\n\t{\n" + head + "\t\t\"monitorDir\":\t\"mc/cfg_001.dir\"\n" +
                        "\t\t,\n\t\t\"multiConfigName\":\t\"Study \\\"1\\\"\"\n" +
                        "\t\t,\n\t\t\"multiConfigIndex\":\t1\n" + "\t\t,\n" + metaData + "\t}\n" +
                        "\t,\t{\n" + head + "\t\t\"monitorDir\":\t\"run_a.dir\"\n\t\t,\n" +
                        metaData + "\t}\n" + "\t,\t{\n" + head +
                        "\t\t\"monitorDir\":\t\"run_b.dir\"\n\t\t,\n" + metaData + "\t}\n]\n");
  EXPECT_EQ(fakes().calls("broxmondata").size(), 3u);
  EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(BroxListingsTest, ReportPlotArgumentsAndSessionFilter) {
  makeDir("run_001.dir");
  makeDir("run_002.dir");
  makeDir("my run.dir");
  fakes().setDefaultOutput("plotinfo", kPlots);

  for (const std::string session : {"run_001", "./run_001"}) {
    fakes().clearCalls("broxmondata");
    const std::string answer = plots({"aaS.list_report_plots", "session-name", session});
    EXPECT_NE(answer.find("\"monitorDir\":\t\"run_001.dir\""), std::string::npos);
    EXPECT_EQ(answer.find("run_002"), std::string::npos);
    const auto calls = fakes().calls("broxmondata");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].back(), "./run_001.dir");
  }
  // A quoted session name with a blank reaches the program as one argument.
  fakes().clearCalls("broxmondata");
  EXPECT_NE(plots({"aaS.list_report_plots", "session-name", "\"my run\""})
                .find("\"monitorDir\":\t\"my run.dir\""),
            std::string::npos);
  EXPECT_EQ(fakes().calls("broxmondata")[0].back(), "./my run.dir");

  for (const Tokens& bad :
       {Tokens{"aaS.list_report_plots", "plot-list"},
        Tokens{"aaS.list_report_plots", "color", "red"},
        Tokens{"aaS.list_report_plots", "session-name", "a", "session-name", "b"}}) {
    EXPECT_EQ(plotsError(bad), "command [" + join(bad) + "] has invalid parameters");
  }
  EXPECT_EQ(plotsError({"aaS.list_plots"}), "command [aaS.list_plots] is not implemented");
}

TEST_F(BroxListingsTest, AmendWillRunsNoProgram) {
  makeDir("run_001.dir");
  std::string answer;
  monitors().listReportPlots(answer, {"aaS.amend_report_plots_will"},
                             "aaS.amend_report_plots_will");
  std::string expected;
  BROX::ReportPlotWill().parseArguments(expected, {"aaS.amend_report_plots_will"},
                                        "aaS.amend_report_plots_will");
  EXPECT_EQ(answer, expected);
  EXPECT_NE(answer.find("all sessions"), std::string::npos);
  EXPECT_TRUE(fakes().calls("broxmondata").empty());

  // The listing commands amend the will while implicit amends are on.
  fakes().setDefaultOutput("plotinfo", kPlots);
  plots({"aaS.list_report_plots", "plot-list", "\"Residuals\"", "session-name", "run_001"});
  will().file();
  EXPECT_EQ(will().sessions(), (BROX::Will{{"run_001", {"plot-list", "\"Residuals\""}}}));
}

TEST_F(BroxListingsTest, PersistedDataEmbedsTheMonitorHistory) {
  makeDir("run_001.dir");
  fakes().setDefaultOutput("plotinfo", kPlots);
  fakes().setDefaultOutput("data", "\"Iteration\",\"Mass\"\n1,0.5\n2,0.25\n");

  const std::string answer = plots(
      {"aaS.list_report_plots_with_persisted_data", "start-time-step", "2", "end-time-step", "9"});
  EXPECT_NE(answer.find("\t\t,\"Data\":\n"), std::string::npos) << answer;
  EXPECT_NE(answer.find("0.25"), std::string::npos) << answer;
  const auto calls = fakes().calls("broxmondata");
  ASSERT_EQ(calls.size(), 2u);
  const std::vector<std::string>& data = calls[1];
  EXPECT_EQ(FakePrograms::argumentAfter(data, "-dir"), "./run_001.dir");
  EXPECT_EQ(FakePrograms::argumentAfter(data, "-varlist"), "Iteration;Mass");
  EXPECT_EQ(FakePrograms::argumentAfter(data, "-firsttimestep"), "2");
  EXPECT_EQ(FakePrograms::argumentAfter(data, "-lasttimestep"), "9");

  // No plot line written and no variable filter: "Data" is empty and no history is read.
  fakes().clearCalls("broxmondata");
  const std::string none =
      plots({"aaS.list_report_plots_with_persisted_data", "plot-list", "\"Other\""});
  EXPECT_NE(none.find("\t\t,\"Data\":\n{}\t}\n"), std::string::npos) << none;
  EXPECT_EQ(fakes().calls("broxmondata").size(), 1u);
  EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(BroxListingsTest, UnparsableProgramOutputIsAScriptError) {
  makeDir("good.dir");
  makeDir("bad.dir");
  fakes().setDefaultOutput("plotinfo", kPlots);
  fakes().setOutput("plotinfo", "./bad.dir", "<Plots><Plot></Plots>");
  const std::string plotError = plotsError({"aaS.list_report_plots"});
  EXPECT_NE(plotError.find("./bad.dir"), std::string::npos) << plotError;
  EXPECT_NE(plotError.find("XML document is not well-formed (line 1, column 16): mismatched tag"),
            std::string::npos)
      << plotError;

  fakes().setOutput("varinfo", "./good.dir", kVariables);
  fakes().setOutput("varinfo", "./bad.dir", "");  // empty output
  EXPECT_NE(variablesError({"aaS.list_active_variable_names"}).find("./bad.dir"),
            std::string::npos);
  fakes().setOutput("varinfo", "./bad.dir", "<!DOCTYPE x SYSTEM \"/etc/passwd\"><x/>");
  EXPECT_NE(variablesError({"aaS.list_active_variable_names"}).find("refused"), std::string::npos);
  EXPECT_TRUE(tmpEntries().empty());
}

TEST_F(BroxListingsTest, VariableNamesBySession) {
  makeDir("case.dir");
  makeDir("other.dir");
  writeFile(work() + "/case.res", "");
  fakes().setDefaultOutput("varinfo", kVariables);

  const std::string all = variables({"aaS.list_all_variable_names", "session-name", "./case"});
  EXPECT_EQ(all,
            "[\n"
            "\t{\n"
            "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n"
            "\t\t,\n"
            "\t\t\"monitorDir\":\t\"case.dir\"\n"
            "\t\t,\n"
            "\t\t\"metaData\":\n"
            "\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"Mass\"\n\t\t\t\t,\"Unit\":\"kg\"\n\t\t\t}\n\t\t]\n"
            "\t}\n"
            "\t,\t{\n"
            "\t\t\"monitorType\":\t\"SavedMonitor\"\n"
            "\t\t,\n"
            "\t\t\"monitorFile\":\t\"case.res\"\n"
            "\t\t,\n"
            "\t\t\"metaData\":\n"
            "\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"Mass\"\n\t\t\t\t,\"Unit\":\"kg\"\n\t\t\t}\n\t\t]\n"
            "\t}\n"
            "]\n");
  const auto calls = fakes().calls("broxmondata");
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[1], (std::vector<std::string>{"-varinfo", "-out",
                                                FakePrograms::argumentAfter(calls[1], "-out"),
                                                "-res", "./case.res"}));

  const std::string active = variables({"aaS.list_active_variable_names", "session-name", "case"});
  EXPECT_EQ(active.find("case.res"), std::string::npos);
  EXPECT_NE(active.find("case.dir"), std::string::npos);
  EXPECT_EQ(variables({"aaS.list_saved_variable_names"}).find(".dir"), std::string::npos);
  EXPECT_NE(variables({"aaS.list_active_variable_names"}).find("other.dir"), std::string::npos);

  for (const Tokens& bad :
       {Tokens{"aaS.list_all_variable_names", "session-name"},
        Tokens{"aaS.list_all_variable_names", "session-name", "a", "session-name", "b"},
        Tokens{"aaS.list_all_variable_names", "plot-list", "x"}}) {
    EXPECT_EQ(variablesError(bad), "command [" + join(bad) + "] has invalid parameters");
  }
  EXPECT_TRUE(tmpEntries().empty());
}

}  // namespace
}  // namespace solvarium_test
