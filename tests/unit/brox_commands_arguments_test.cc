// Argument checks of the Brox monitor and report-plot commands, the monitor
// locations and the will answer.
#include <gtest/gtest.h>

#include "AAS_CORBA.hh"
#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_will.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_programs.h"
#include "tests/unit/brox_commands_test_util.h"

namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
using solvarium_test::expectThrow;
using Tokens = std::vector<std::string>;

const std::string kPersisted = "aaS.list_monitors_with_persisted_data";

// The invalid-argument exception of parsing `tokens`, or a failure.
Exc::EKorlenInvalidArgument argumentError(const Tokens& tokens) {
  std::string text;
  for (const auto& t : tokens) text += (text.empty() ? "" : " ") + t;
  return expectThrow<Exc::EKorlenInvalidArgument>(
             [&] { BROX::parsePersistedDataArguments(tokens, text); }, text)
      .value_or(Exc::EKorlenInvalidArgument(0, "", "", "", "", "", 0));
}

TEST(BroxPersistedArgumentsTest, OptionsBecomeSeparateProgramArguments) {
  const BROX::PersistedDataArguments args = BROX::parsePersistedDataArguments(
      {kPersisted, "start-time-step", "0005", "session-name", "a", "variable-list",
       "\"lift;touch${IFS}x\"", "end-time-step", "12", "session-name", "\"run 2\""},
      "cmd");
  EXPECT_EQ(args.options, (Tokens{"-firsttimestep", "0005", "-varlist", "lift;touch${IFS}x",
                                  "-lasttimestep", "12"}));
  // The command text shows the values as typed.
  EXPECT_EQ(args.optionsText,
            "  -firsttimestep 0005  -varlist \"lift;touch${IFS}x\"  -lasttimestep 12 ");
  EXPECT_TRUE(args.hasSession);
  EXPECT_EQ(args.sessionName, "run 2");  // the last one counts, without its quotes

  // Only one enclosing pair of quotes goes; a lone quote stays.
  EXPECT_EQ(BROX::removeEnclosingQuotes("\"\"a\"\""), "\"a\"");
  EXPECT_EQ(BROX::removeEnclosingQuotes("\"a"), "\"a");
  EXPECT_EQ(BROX::removeEnclosingQuotes("\""), "\"");
  EXPECT_FALSE(BROX::parsePersistedDataArguments({kPersisted}, kPersisted).hasSession);
}

TEST(BroxPersistedArgumentsTest, TimeStepsMustBePositiveWholeNumbers) {
  for (const char* bad : {"0", "000", "abc", "5x", "-3", "+4", " 5", "1.5", ""}) {
    const auto e = argumentError({kPersisted, "session-name", "s", "end-time-step", bad});
    EXPECT_STREQ(e.description.in(),
                 "Invalid value for argument (positive integer expected):\nend-time-step")
        << bad;
    EXPECT_EQ(e.position, 4) << bad;  // the value's index
    EXPECT_STREQ(e.scope.in(), "BROX Instant aaS");
    EXPECT_STREQ(e.interfaceName.in(), "IBroxMonitors");
  }
  EXPECT_TRUE(BROX::isPositiveInteger("1"));
  EXPECT_TRUE(BROX::isPositiveInteger("99999999999999999999"));
}

TEST(BroxPersistedArgumentsTest, MissingValuesAndUnknownArguments) {
  auto e = argumentError({kPersisted, "variable-list", "v", "start-time-step"});
  EXPECT_STREQ(e.description.in(), "Missing value for argument:\nstart-time-step");
  EXPECT_EQ(e.position, 3);  // the keyword's index
  EXPECT_STREQ(e.operation.in(), (kPersisted + " variable-list v start-time-step").c_str());
  EXPECT_STREQ(e.moreInfo.in(),
               ("Instant aaS command:\n" + kPersisted + " variable-list v start-time-step").c_str());

  e = argumentError({kPersisted, "session-name", "s", "plot-list", "p"});
  EXPECT_STREQ(e.description.in(), "Unknown argument:\nplot-list");
  EXPECT_EQ(e.position, 1);
}

TEST(BroxMonitorLocationTest, LocationAndMultiConfigurationLookup) {
  BroxStatusReader::ResultMap results;
  StatusRecord& multi = results["./case"];
  multi.name = "case";
  multi.multiConfig = true;
  multi.configurations["Config_1"] = 3;
  StatusRecord& saved = results["./case.mres"];
  saved.name = "saved case";
  saved.multiConfig = true;
  saved.configurations["Config_1"] = 4;
  results["."].name = "top";  // not multi-configuration

  BROX::MonitorLocation where = BROX::locateMonitor("./run_001.dir", false, &results);
  EXPECT_EQ(where.location, "run_001.dir");
  EXPECT_FALSE(where.multiConfig);

  where = BROX::locateMonitor("./case/Config_1.dir", false, &results);
  EXPECT_EQ(where.location, "case/Config_1.dir");
  EXPECT_TRUE(where.multiConfig);
  EXPECT_EQ(where.multiConfigName, "case");
  EXPECT_EQ(where.multiConfigIndex, 3);

  where = BROX::locateMonitor("./case/Config_1.res", true, &results);
  EXPECT_TRUE(where.saved);
  EXPECT_EQ(where.multiConfigName, "saved case");
  EXPECT_EQ(where.multiConfigIndex, 4);

  // A session source has no "./"; an unknown configuration adds nothing.
  where = BROX::locateMonitor("case/Other.dir", false, &results);
  EXPECT_EQ(where.location, "case/Other.dir");
  EXPECT_FALSE(where.multiConfig);
  EXPECT_EQ(BROX::locateMonitor("run_002.dir", false, nullptr).location, "run_002.dir");
  // Names keep their backslashes.
  EXPECT_EQ(BROX::locateMonitor("./a\\b.dir", false, nullptr).location, "a\\b.dir");
}

TEST(BroxWillJsonTest, OneSessionWithEscapedAttributes) {
  BROX::Will will;
  will["s1"] = {"plot-list", "\"p1;p\\2\""};
  std::string json;
  BROX::writeWillJson(will, json);
  EXPECT_EQ(json,
            "{\n"
            "\t\"session-name\":\t\"s1\"\n"
            "\t,\n"
            "\t\"attributes\":\n"
            "\t[\n"
            "\t\t\"plot-list\"\n"
            "\t\t,\n"
            "\t\t\"\\\"p1;p\\\\2\\\"\"\n"
            "\t]\n"
            "}\n");
  EXPECT_TRUE(brox_test::parsesAsJson(json));

  json.clear();
  BROX::writeWillJson(BROX::Will(), json);
  EXPECT_EQ(json, "{\n}\n");
  will["s2"] = {"x"};
  json.clear();
  BROX::writeWillJson(will, json);
  EXPECT_EQ(json, "{\n}\n");
}

// The report-plot argument parser of the will.
class BroxReportPlotArgumentsTest : public ::testing::Test {
 protected:
  std::string parse(const Tokens& tokens) {
    std::string result = "old";
    std::string text;
    for (const auto& t : tokens) text += (text.empty() ? "" : " ") + t;
    will_.parseArguments(result, tokens, text);
    return result;
  }
  // The will that the values read last would file.
  BROX::Will filed() const {
    BROX::ReportPlotWill copy = will_;
    copy.file();
    return copy.sessions();
  }
  static BROX::Will plots(const std::string& list) { return {{"", {"plot-list", list}}}; }

  BROX::ReportPlotWill will_;
};

TEST_F(BroxReportPlotArgumentsTest, AmendWritesMessagesAndFields) {
  EXPECT_EQ(parse({"aaS.amend_report_plots_will", "session-name", "s1"}),
            "BROX Will updated with new <session-name>:\n\ts1\n"
            "BROX Will updated to include all default plots.\n"
            "BROX Will updated to include all default variables.\n");
  EXPECT_TRUE(filed().empty());  // a session without lists files nothing
  EXPECT_EQ(parse({"aaS.amend_report_plots_will", "session-name", "s1", "plot-list", "p"}),
            "BROX Will updated with new <session-name>:\n\ts1\n"
            "BROX Will updated with new <plot-list>:\n\tp\n"
            "BROX Will updated to include all default variables.\n");
  EXPECT_EQ(filed(), (BROX::Will{{"s1", {"plot-list", "p"}}}));

  EXPECT_EQ(parse({"aaS.amend_report_plots_will", "plot-list", "\"p\"", "variable-list", "v",
                   "start-time-step", "3"}),
            "BROX Will updated with new <plot-list>:\n\t\"p\"\n"
            "BROX Will updated with new <variable-list>:\n\tv\n"
            "BROX Will updated with new <start-time-step>:\n\t3\n"
            "BROX Will updated to include all sessions.\n");
  EXPECT_EQ(filed(), (BROX::Will{{"", {"plot-list", "\"p\"", "variable-list", "v"}}}));
}

TEST_F(BroxReportPlotArgumentsTest, InvalidTokensLeaveTheWillFields) {
  parse({"aaS.amend_report_plots_will", "plot-list", "p"});
  if (const auto e = expectThrow<Exc::EKorlenInvalidArgument>(
          [&] {
            parse({"aaS.amend_report_plots_will", "session-name", "s", "plot-list"});
          },
          "keyword without value accepted")) {
    EXPECT_STREQ(e->description.in(), "Invalid token:\nplot-list");
    EXPECT_EQ(e->position, 4);
  }
  EXPECT_EQ(filed(), plots("p"));
  EXPECT_THROW(parse({"aaS.list_monitors", "plot-list", "p"}), Exc::EKorlenInvalidArgument);
}

TEST_F(BroxReportPlotArgumentsTest, ListingsAmendOnlyWhileImplicitAmendsIsOn) {
  parse({"aaS.list_report_plots", "plot-list", "p1"});
  EXPECT_EQ(filed(), plots("p1"));
  will_.setImplicitAmends(false);
  EXPECT_EQ(parse({"aaS.list_saved_report_plots", "plot-list", "p2"}), "old");
  EXPECT_EQ(filed(), plots("p1"));
  parse({"aaS.amend_report_plots_will", "plot-list", "p3"});
  EXPECT_EQ(filed(), plots("p3"));
}

}  // namespace
