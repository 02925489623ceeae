// The settings walk and the Talvo JSON writers: exact bytes for text of the
// solver's shape, valid JSON for any text.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "AAS_CORBA.hh"
#include "solvers/talvo/talvo_monitors.h"
#include "solvers/talvo/talvo_report_definitions.h"
#include "solvers/talvo/talvo_report_file_reader.h"
#include "solvers/talvo/talvo_report_lists.h"
#include "solvers/talvo/talvo_text.h"
#include "tests/support/expect_throw.h"
#include "tests/support/json_check.h"
#include "tests/unit/talvo_test_util.h"

namespace {

using talvo_test::TalvoRun;

std::string plots(const std::string& settings) {
  TALVO::TalvoState state;
  state.plotSetSettings = settings;
  std::string out;
  TALVO::writeReportPlotJson(state, &out);
  return out;
}

std::string definitions(const TALVO::TalvoState& state) {
  std::string out;
  TALVO::writeReportDefinitionJson(state, &out);
  return out;
}

std::string files(const std::string& settings) {
  TALVO::TalvoState state;
  state.monitorSetSettings = settings;
  std::string out;
  TALVO::writeReportFileJson(state, &out, false, 0, 0);
  return out;
}

#define EXPECT_JSON(text)                                             \
  do {                                                                \
    std::string error_;                                               \
    EXPECT_TRUE(solvarium_test::isValidJson(text, &error_)) << error_ << "\n" << (text); \
  } while (0)

TEST(TalvoJsonTest, ReportPlotsByTheWalk) {
  EXPECT_EQ(plots(""), "[]");
  EXPECT_EQ(plots("(((name . plot-0) (plot-window . 2)))"),
            "\n[\n\t{\n\t\t\"name\":\"plot-0\" ,\n\t\t\"plotWindow\":2\t}]");
  // Dots, blanks and an empty value; entries separated by the input's blanks and ",".
  EXPECT_EQ(plots("(((name plot-0)(title .. My plot  )(x-label))  ((report-defs a b)(line-width . 2)))"),
            "\n[\n\t{\n\t\t\"name\":\"plot-0\",\n\t\t\"title\":\"My plot  \",\n\t\t\"xLabel\":\"\"\t}"
            "  ,\n\t{\n\t\t\"reportDefinitions\":[\"a\",\"b\"],\n\t\t\"line-width\":\"2\"\t}]");
  // The window rule, and old-props between and after properties.
  EXPECT_EQ(plots("(((plot-window . 0) (old-props (a)) (plot-window . 3a) (print? . #t) (old-props)))"),
            "\n[\n\t{\n\t\t\"plotWindow\":0 ,\n\t\t\n\t\t\"plotWindow\":\"3a\" ,\n\t\t"
            "\"print\":true \n\t\t\t}]");
  EXPECT_EQ(plots("(((plot-window . -1) (plot-window none) (report-defs) (frequency . 1x)))"),
            "\n[\n\t{\n\t\t\"plotWindow\":\"-1\" ,\n\t\t\"plotWindow\":\"none\" ,\n\t\t"
            "\"reportDefinitions\":[] ,\n\t\t\"frequency\":\"1x\"\t}]");
}

TEST(TalvoJsonTest, ReportDefinitionsSortTheirProperties) {
  TALVO::TalvoState state;
  state.zoneNames[3] = "wall";
  state.reportDefinitionSettings =
      "(((name . rd0) (report-definition surface-areaavg (field . pressure) (average-over . 1) "
      "(zone-list . 3 4) (old-props . x) (per-zone? . #f) (custom #t))))";
  EXPECT_EQ(definitions(state),
            "\n[\n\t{\n\t\t\"monitorType\":\"R17ReportDefinition\",\n\t\t\"name\":\"rd0\" ,\n\t\t"
            "\"reportDefinition\":\n\t\t{\n"
            "\t\t\t\"averageOver\":1\n"
            "\t\t\t,\"custom\":true\n"
            "\t\t\t,\"field\":\"pressure\"\n"
            "\t\t\t,\"perZone\":false\n"
            "\t\t\t,\"type\":\"surface-areaavg\"\n"
            "\t\t\t,\"zoneList\":[ 3 , 4 ]\n"
            "\t\t\t,\"zoneNames\":[ \"wall\" , \"\" ]\n"
            "\t\t}\n\t}]");
  // A key without a rule: its text goes into a string, escaped; a comma is
  // put before the next member; no "name" means no "monitorType".
  state.reportDefinitionSettings = "(((old-props (a \"b\")) (surface-ids 1)))";
  EXPECT_EQ(definitions(state),
            "\n[\n\t{\n\t\t\"old-props\":\" \\n\\t\\t\\t(a \\\"b\\\"\\t\\t\\t)\\t\\t\", "
            "\n\t\t\"surface-ids\":\" 1\\t\\t\"\t}]");
  // Multi-byte characters in such a string stay whole.
  state.reportDefinitionSettings = "(((label caf\xc3\xa9 (\xe2\x82\xac))))";
  EXPECT_EQ(definitions(state),
            "\n[\n\t{\n\t\t\"label\":\" caf\xc3\xa9 \\n\\t\\t\\t(\xe2\x82\xac\\t\\t\\t)\\t\\t\"\t}]");
}

TEST(TalvoJsonTest, ReportFilesWithoutPersistedData) {
  TALVO::TalvoState state;
  state.currentIteration = 4;
  state.rpVariables["time-step"] = "12";
  state.monitorSetSettings =
      "(((name . rf0) (file-name . rf0.out) (frequency . 1) (frequency-of . iteration) "
      "(report-defs . rd0 rd1) (old-props (x)) (print? . #f) (old-props y)))";
  std::string out;
  TALVO::writeReportFileJson(state, &out, false, 0, 0);
  EXPECT_EQ(out,
            "\n[\n\t{\n\t\t\"monitorType\":\"R17ReportFile\",\n\t\t\"name\":\"rf0\" ,\n\t\t"
            "\"fileName\":\"rf0.out\",\n\t\t\"currentIterationNo\":4,\n\t\t\"currentTimeStep\":12 \t\t,"
            "\n\t\t\"frequency\":1 ,\n\t\t\"frequencyOf\":\"iteration\" ,\n\t\t"
            "\"reportDefinitions\":[\"rd0\",\"rd1\"] ,\n\t\t\n\t\t\"print\":false \n\t\t\t}]");
}

TEST(TalvoJsonTest, ReportFileParserExample) {
  TALVO::ReportFilePosition position;
  position.currentIteration = 2;
  const std::string content =
      "\"rf0\"\r\n\r\nHistory of \"Area\" on wall\n(\"Iteration\" \"report-def-0\")\n"
      "1 0.5\n2 0.25\n3 0.125\n";
  EXPECT_EQ(TALVO::parseReportFile(content, position),
            "\t\t{\n\t\t\t\"name\":\"rf0\",\n\t\t\t\"title\":\"History of \\\"Area\\\" on wall\",\n"
            "\t\t\t\"currentIterationNo\":2,\n\t\t\t\"header\":[\"Iteration\",\"report-def-0\"]\n"
            "\t\t\t,\"Iteration\":[1,2]\n\t\t\t,\"report-def-0\":[0.5,0.25]\n\t\t}\n");
  position.startIteration = 2;
  EXPECT_NE(TALVO::parseReportFile(content, position).find("\"Iteration\":[2]\n\t\t\t,\"report-def-0\":[0.25]"),
            std::string::npos);

  // Time-step axis: without a known time step every row from the start on.
  TALVO::ReportFilePosition steps;
  steps.startTimeStep = 2;
  const std::string timeFile = "n\nt\n(\"Time Step\" \"a\" \"b\")\n1 x 3\n2 nan 5\n3 7";
  EXPECT_EQ(TALVO::parseReportFile(timeFile, steps),
            "\t\t{\n\t\t\t\"name\":\"n\",\n\t\t\t\"title\":\"t\",\n\t\t\t\"currentIterationNo\":0,\n"
            "\t\t\t\"header\":[\"Time Step\",\"a\",\"b\"]\n\t\t\t,\"Time Step\":[2,3]\n"
            "\t\t\t,\"a\":[\"nan\",7]\n\t\t\t,\"b\":[5]\n\t\t}\n");
  steps.hasTimeStep = true;
  steps.timeStep = "2.5";
  EXPECT_NE(TALVO::parseReportFile(timeFile, steps).find("\"currentTimeStep\":2.5,\n"),
            std::string::npos);
  EXPECT_NE(TALVO::parseReportFile(timeFile, steps).find("\"Time Step\":[2]"), std::string::npos);

  EXPECT_EQ(TALVO::parseReportFile("a\nb\n", position), "");
  EXPECT_EQ(TALVO::parseReportFile("a\nb\n(Iteration x)\n1 2\n", position), "");
  // Columns without data are empty arrays.
  position.startIteration = 0;
  EXPECT_NE(TALVO::parseReportFile("a\nb\n(\"Iteration\" \"x\")\n1\n", position)
                .find("\"Iteration\":[1]\n\t\t\t,\"x\":[]\n"),
            std::string::npos);
}

TEST(TalvoJsonTest, ResidualMonitor) {
  TalvoRun run;
  run.send({"broadcast::visited:rp-var-value-set:residuals/settings:((continuity #t #f #t 1e-3 #f 0.0) "
            "(x-velocity #f #f #f 0 #f 1e-2) (ghost #t))",
            "broadcast::visited:rp-var-value-set:residuals/local?:#f",
            "broadcast::visited:rp-var-value-set:residuals/convergence-criterion-type:00",
            "broadcast::visited:rp-var-value-set:residuals/n-display:1000",
            "broadcast::visited:rp-var-value-set:residuals/n-save:x",
            "broadcast::visited:rp-var-value-set:residuals/plot?:#t",
            "broadcast::visited:monitors:<Residual iteration 1 2 3 /Residual>\n"
            "<Residual continuity 1.0 0.5 0 /Residual>\n<Residual x-velocity 0.1 /Residual>",
            "broadcast::visited:iteration-set:3"});
  TALVO::captureRunPosition(&run.state);
  std::string out;
  TALVO::writeResidualMonitorJson(run.state, &out, run.state.residualNames, "", true);
  auto i = [](int v) {
    char b[64];
    std::snprintf(b, sizeof b, "%25d", v);
    return std::string(b);
  };
  auto d = [](double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%25.17le", v);
    return std::string(b);
  };
  EXPECT_EQ(out,
            "\t{\n\t\t\"reportingOption\":\t\"global scaling\",\n"
            "\t\t\"convergenceCriterionType\":\t\"00\",\n"
            "\t\t\"monitorType\":\t\"ResidualMonitor\",\n\t\t\"name\":\t\"convergence-residuals\",\n"
            "\t\t\"nrDisplay\":\t1000,\n\t\t\"nrSave\":\t\"x\",\n\t\t\"plot\":\ttrue,\n"
            "\t\t\"settings\":\n\t\t{\n"
            "\t\t\t\"continuity\":\n\t\t\t{\n\t\t\t\t\"monitorActive\":true\n"
            "\t\t\t\t,\"checkConvergence\":true\n\t\t\t\t,\"absoluteCriteria\":1e-3\n"
            "\t\t\t\t,\"relativeCriteria\":\"0.0\"\n\t\t\t}\n"
            "\t\t\t,\"x-velocity\":\n\t\t\t{\n\t\t\t\t\"monitorActive\":false\n"
            "\t\t\t\t,\"checkConvergence\":false\n\t\t\t\t,\"absoluteCriteria\":\"0\"\n"
            "\t\t\t\t,\"relativeCriteria\":1e-2\n\t\t\t}\n"
            "\t\t\t,\"ghost\":\n\t\t\t{\n\t\t\t\t\"monitorActive\":true\n\t\t\t}\n\t\t},\n"
            "\t\t\"residualNames\":\t[\"continuity\",\"x-velocity\",\"ghost\"],\n"
            "\t\t\"xAxisUnit\":\t\"Iteration\"\n"
            "\t\t,\"persistedData\":\n\t\t{\n\t\t\t\"title\":\"Convergence Residuals\"\n"
            "\t\t\t,\"currentIterationNo\":3\n\t\t\t,\"header\":\n\t\t\t[\n\t\t\t\t\"Iteration\"\n"
            "\t\t\t\t,\"continuity\"\n\t\t\t\t,\"x-velocity\"\n\t\t\t\t,\"ghost\"\n\t\t\t]\n"
            "\t\t\t,\"Iteration\":\n\t\t\t[\n\t\t\t\t" + i(1) + "\n\t\t\t\t," + i(2) + "\n\t\t\t\t," +
            i(3) + "\n\t\t\t]\n"
            "\t\t\t,\"continuity\":\n\t\t\t[\n\t\t\t\t" + d(1.0) + "\n\t\t\t\t," + d(0.5) +
            "\n\t\t\t\t,null\n\t\t\t]\n"
            "\t\t\t,\"x-velocity\":\n\t\t\t[\n\t\t\t\t" + d(0.1) + "\n\t\t\t]\n"
            "\t\t\t,\"ghost\":\n\t\t\t[\n\t\t\t]\n\t\t}\n\t}\n");
  EXPECT_JSON("[" + out + "]");

  // One residual from iteration 3 on; a start above every iteration gives
  // empty arrays; an unknown name is an error.
  run.state.monitorFilter.iterationFilter = true;
  run.state.monitorFilter.startIteration = 3;
  out.clear();
  TALVO::writeResidualMonitorJson(run.state, &out, run.state.residualNames, "continuity", true);
  EXPECT_NE(out.find("\t\t\t,\"Iteration\":\n\t\t\t[\n\t\t\t\t" + i(3) +
                     "\n\t\t\t]\n\t\t\t,\"continuity\":\n\t\t\t[\n\t\t\t\tnull\n\t\t\t]\n"),
            std::string::npos)
      << out;
  run.state.monitorFilter.startIteration = 4;
  out.clear();
  TALVO::writeResidualMonitorJson(run.state, &out, run.state.residualNames, "x-velocity", true);
  EXPECT_NE(out.find("\"Iteration\":\n\t\t\t[\n\t\t\t]\n\t\t\t,\"x-velocity\":\n\t\t\t[\n\t\t\t]\n"),
            std::string::npos);
  if (const auto e = solvarium_test::expectThrow<AAS_CORBA::EInstantTalvoGenericError>([&] {
        TALVO::writeResidualMonitorJson(run.state, &out, run.state.residualNames, "nope", false);
      })) {
    EXPECT_STREQ(e->command.in(), "Display Residual Monitor Info");
    EXPECT_STREQ(e->errorInfo.in(), "Invalid residual monitor[nope]");
  }
  out.clear();
  TALVO::writeResidualMonitorJson(run.state, &out, {}, "", true);
  EXPECT_EQ(out, "");
}

TEST(TalvoJsonTest, ClientNumberFormatsStayValidJson) {
  EXPECT_EQ(TALVO::formatJsonInteger("%+05d", 11), "   11");
  EXPECT_EQ(TALVO::formatJsonInteger("%-4d", -7), "-7  ");
  EXPECT_EQ(TALVO::formatJsonInteger("%05d", -7), "   -7");
  EXPECT_EQ(TALVO::formatJsonDouble("%+010.3lf", 1.5), "     1.500");
  EXPECT_EQ(TALVO::formatJsonDouble("%25.17le", 1.0 / 0.0), "null");
  EXPECT_EQ(TALVO::formatJsonDouble("%99.99lf", 1e308).size(), 409u);
  EXPECT_JSON(TALVO::formatJsonDouble("%99.99lf", -1e308));
}

TEST(TalvoJsonTest, HostileSettingsTextsGiveValidJson) {
  const std::string deep(100000, '(');
  const std::string texts[] = {
      "   ",
      ")))(((",
      "(((name . \"q\\\"\") (file-name . a\\b\"c) (title x\ny)) junk ((print? . #t)))) trailing ( x",
      "((( name",
      "(((plot-window . 1",
      "((x y) (z))",
      deep,
      deep + std::string(100000, ')'),
      "(((a" + deep,
      "(((old-props (x)) (old-props y)) ((old-props z)) ())",
      "(\v(\f(a\v.\fb)))",
      std::string("(((n\0ame . v)))", 14),
      "(((name . caf\xe9) (title . \xff\xfe(\xe9)) (t\xe9\x80 \xc3\xa9)))",
  };
  TALVO::TalvoState state;
  state.currentIteration = 1;
  for (const std::string& text : texts) {
    state.plotSetSettings = state.monitorSetSettings = state.reportDefinitionSettings = text;
    std::string a, b, c;
    TALVO::writeReportPlotJson(state, &a);
    TALVO::writeReportFileJson(state, &b, true, 0, 0);
    TALVO::writeReportDefinitionJson(state, &c);
    EXPECT_JSON(a);
    EXPECT_JSON(b);
    EXPECT_JSON(c);
  }
  EXPECT_EQ(plots("   "), "[]");
  EXPECT_EQ(files("(((name x"), "\n[\n\t{\n\t\t\"monitorType\":\"R17ReportFile\",\n\t\t\"name\":\"x\"}]");
}

}  // namespace
