// The monitor-data program's comma-separated output turned into JSON.
#include "solvers/brox/brox_monitor_csv.h"

#include <gtest/gtest.h>

#include "tests/support/monitor_json.h"
#include "tests/unit/brox_commands_test_util.h"

namespace {

using BROX::MonitorLocation;
using BROX::MonitorParse;
using BROX::MonitorTable;
using solvarium_test::persistedDataMonitorJson;

MonitorTable parsed(const std::string& output) {
  MonitorTable table;
  EXPECT_EQ(BROX::parseMonitorTable(output, &table), MonitorParse::kOk) << output;
  return table;
}

// A monitor as the JSON array answer holds it.
std::string inArray(const std::string& object) { return "[\n" + object + "]\n"; }

TEST(BroxMonitorCsvTest, HeaderNamesAreUnquoted) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(BROX::parseHeaderNames("\"Time Step\",\"lift\",\"drag\""),
            (Names{"Time Step", "lift", "drag"}));
  // A doubled quote stands for one; a comma inside quotes belongs to the name.
  EXPECT_EQ(BROX::parseHeaderNames("\"x\",\"a\"\"b\",\"c,d\""), (Names{"x", "a\"b", "c,d"}));
  // Blanks around quoted names, unquoted names, a trailing comma.
  EXPECT_EQ(BROX::parseHeaderNames(" \"x\" , y ,\"z\","), (Names{"x", "y", "z"}));
  EXPECT_EQ(BROX::parseHeaderNames("\"\",\"b\""), (Names{"", "b"}));
  EXPECT_TRUE(BROX::parseHeaderNames("").empty());
}

TEST(BroxMonitorCsvTest, LinesAndRaggedRows) {
  MonitorTable table = parsed("\"t\",\"a\"\r\n\r\n1,2\r\n3,\n\n");
  ASSERT_EQ(table.rows.size(), 2u);
  EXPECT_EQ(table.rows[1], (std::vector<std::string>{"3", ""}));

  EXPECT_EQ(BROX::parseMonitorTable("\"t\",\"a\"\n1,2,3\n", &table), MonitorParse::kMoreValues);
  EXPECT_EQ(BROX::parseMonitorTable("\"t\",\"a\"\n1,2\n1\n", &table), MonitorParse::kLessValues);
  EXPECT_EQ(BROX::parseMonitorTable("", &table), MonitorParse::kNoData);
  EXPECT_EQ(BROX::parseMonitorTable("\n\r\n", &table), MonitorParse::kNoData);
}

TEST(BroxMonitorCsvTest, PersistedDataMonitorLayout) {
  MonitorLocation where;
  where.location = "case/Config_1.dir";
  where.multiConfig = true;
  where.multiConfigName = "case";
  where.multiConfigIndex = 1;
  const std::string output = "\"Time Step\",\"lift\",\"drag\"\n1,0.5,\n2,0.25,\n";
  const std::string json = persistedDataMonitorJson(where, output, false);
  EXPECT_EQ(json,
            "\t{\n"
            "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n"
            "\t\t,\n"
            "\t\t\"monitorDir\":\t\"case/Config_1.dir\"\n"
            "\t\t,\n"
            "\t\t\"multiConfigName\":\t\"case\"\n"
            "\t\t,\n"
            "\t\t\"multiConfigIndex\":\t1\n"
            "\t\t,\n"
            "\t\t\"monitorRecords\": 2\n"
            "\t\t,\n"
            "\t\t\"xAxis\":\t\"Time Step\"\n"
            "\t\t,\n"
            "\t\t\"yAxis\":\n"
            "\t\t[\n"
            "\t\t\t\"lift\"\n"
            "\t\t]\n"
            "\t\t,\n"
            "\t\t\"Time Step\":\n"
            "\t\t[\n"
            "\t\t\t1\n"
            "\t\t\t,\n"
            "\t\t\t2\n"
            "\t\t]\n"
            "\t\t,\n"
            "\t\t\"lift\":\n"
            "\t\t[\n"
            "\t\t\t0.5\n"
            "\t\t\t,\n"
            "\t\t\t0.25\n"
            "\t\t]\n"
            "\t}\n");
  EXPECT_TRUE(brox_test::parsesAsJson(inArray(json)));

  // The data-only form keeps the record count and the data arrays.
  const std::string data = persistedDataMonitorJson(where, output, true);
  EXPECT_EQ(data.find("monitorType"), std::string::npos);
  EXPECT_EQ(data.find("xAxis"), std::string::npos);
  EXPECT_EQ(data.rfind("\t{\n\t\t\"monitorRecords\": 2\n\t\t,\n\t\t\"Time Step\":\n", 0), 0u);
  EXPECT_TRUE(brox_test::parsesAsJson(inArray(data)));
}

TEST(BroxMonitorCsvTest, ValuesNamesAndDuplicatesGiveValidJson) {
  MonitorLocation where;
  where.saved = true;
  where.location = "dir\\with \"quote\".res";
  // Column "a" twice (the first is empty throughout), a name with a quote and
  // a backslash, values that are not JSON numbers.
  const std::string json = persistedDataMonitorJson(
      where, "\"t\",\"a\",\"a\",\"q\"\"\\\"\n1,,7,nan\n2,,8, 3\n3,,,1.2.3\n4,,,5\t\n", false);
  EXPECT_NE(json.find("\"monitorType\":\t\"SavedMonitor\"\n"), std::string::npos);
  EXPECT_NE(json.find("\"monitorFile\":\t\"dir\\\\with \\\"quote\\\".res\"\n"), std::string::npos);
  EXPECT_NE(json.find("\t\t[\n\t\t\t\"a\"\n\t\t\t,\n\t\t\t\"q\\\"\\\\\"\n\t\t]\n"), std::string::npos)
      << json;
  // One data array for "a": the second column's, with null for its empty values.
  EXPECT_NE(json.find("\"a\":\n\t\t[\n\t\t\t7\n\t\t\t,\n\t\t\t8\n\t\t\t,\n\t\t\tnull\n"),
            std::string::npos);
  EXPECT_EQ(json.find("\"a\":\n", json.find("\"a\":\n") + 1), std::string::npos);
  EXPECT_NE(json.find("\t\t\t\"nan\"\n"), std::string::npos);
  EXPECT_NE(json.find("\t\t\t 3\n"), std::string::npos);  // blanks kept around a number
  EXPECT_NE(json.find("\t\t\t5\t\n"), std::string::npos);
  EXPECT_NE(json.find("\t\t\t\"1.2.3\"\n"), std::string::npos);
  EXPECT_TRUE(brox_test::parsesAsJson(inArray(json))) << json;
}

TEST(BroxMonitorCsvTest, LastValuesAndNamesLayouts) {
  MonitorLocation where;
  where.location = "run_001.dir";
  const MonitorTable table = parsed("\"t\",\"a\",\"b\"\n9,,x\n1,2,3\n");
  const std::string last = BROX::lastValuesMonitorJson(where, table);
  EXPECT_EQ(last,
            "\t{\n"
            "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n"
            "\t\t,\n"
            "\t\t\"monitorDir\":\t\"run_001.dir\"\n"
            "\t\t,\n"
            "\t\t\"monitorRecords\": 2\n"
            "\t\t,\n"
            "\t\t\"lastValues\":\n"
            "\t\t{\n"
            "\t\t\t\"t\":\t9\n"
            "\t\t\t,\n"
            "\t\t\t\"b\":\t\"x\"\n"
            "\t\t}\n"
            "\t}\n");
  EXPECT_TRUE(brox_test::parsesAsJson(inArray(last)));

  // A header without data: an empty lastValues object.
  const std::string none = BROX::lastValuesMonitorJson(where, parsed("\"t\"\n"));
  EXPECT_NE(none.find("\t\t\"lastValues\":\n\t\t{\n\t\t}\n"), std::string::npos);

  const std::string names = BROX::monitorNamesJson(where, {"t", "a", "b"});
  EXPECT_EQ(names,
            "\t{\n"
            "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n"
            "\t\t,\n"
            "\t\t\"monitorDir\":\t\"run_001.dir\"\n"
            "\t\t,\n"
            "\t\t\"xAxis\":\t\"t\"\n"
            "\t\t,\n"
            "\t\t\"yAxis\":\n"
            "\t\t[\n"
            "\t\t\t\"a\"\n"
            "\t\t\t,\n"
            "\t\t\t\"b\"\n"
            "\t\t]\n"
            "\t}\n");
}

TEST(BroxMonitorCsvTest, ArrayFrameSeparatesMonitors) {
  std::string out;
  BROX::MonitorArrayWriter empty(&out);
  empty.end();
  EXPECT_EQ(out, "[\n]\n");

  out.clear();
  BROX::MonitorArrayWriter two(&out);
  two.add("\t{\n\t}\n");
  two.add("\t{\n\t}\n");
  two.end();
  EXPECT_EQ(out, "[\n\t{\n\t}\n\t,\t{\n\t}\n]\n");
  EXPECT_TRUE(brox_test::parsesAsJson(out));
  EXPECT_FALSE(brox_test::parsesAsJson("[\n\t{\n\t\t\"a\":\tnan\n\t}\n]\n"));
}

// The output read in place gives the same answers as the parsed table, for
// every line break, quoting, blank, escape, duplicate and format error.
TEST(BroxMonitorCsvTest, InPlaceReadingMatchesTheTable) {
  MonitorLocation where;
  where.location = "run.dir";
  const std::vector<std::string> outputs = {
      "\"t\",\"a\"\r\n\r\n1,2\r\n3,\n\n",
      "\"t\",\"a\",\"a\",\"q\"\"\\\"\n1,,7,nan\n2,,8, 3\n3,,,1.2.3\n",
      "\r\r\"x\",\"y\"\r4,\t-1e5 \r5,\"quoted\"\r6,tab\there\x01\x1f\\",
      "\"only\"\n",
      "\"t\"",
      "\"t\",\"e\"\n,\n,\n",
      "\"t\",\"a\"\n1,2\n1,2,3\n4,5\n",
      "\"t\",\"a\"\n1,2\n1\n1,2,3\n",
      "\"t\",\"a\"\n1,2\n1,2",
      "",
      "\n\r\n",
      " , \n1,2\n",
  };
  for (const std::string& output : outputs) {
    MonitorTable table;
    BROX::MonitorCsvData data;
    const MonitorParse result = BROX::parseMonitorTable(output, &table);
    ASSERT_EQ(data.parse(output), result) << output;
    if (result != MonitorParse::kOk) continue;
    EXPECT_EQ(data.names(), table.names) << output;
    EXPECT_EQ(data.rows(), table.rows.size()) << output;
    for (bool dataOnly : {false, true}) {
      const std::string json = persistedDataMonitorJson(where, output, dataOnly);
      EXPECT_EQ(json, persistedDataMonitorJson(where, table, dataOnly)) << output;
      EXPECT_TRUE(brox_test::parsesAsJson(inArray(json))) << json;
    }
  }
}

}  // namespace
