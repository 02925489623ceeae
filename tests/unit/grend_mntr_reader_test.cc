// The ".mntr" reader over a file's text: columns from a two-line header,
// values dealt row by row, the three filters, short and hostile files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "solvers/grend/grend_mntr_reader.h"
#include "tests/support/json_check.h"

namespace {

using Args = std::vector<std::string>;

const char kMonitor[] =
    "Solution monitor of job\n"
    "KORLEN Grend 2026 build 7\n"
    " LOAD  SUB-  TOTL  TOTAL       FORCE\n"
    " STEP  STEP  ITER  TIME/LFACT  CONV\n"
    "    1     1     3  0.5         2.5E-03\r\n"
    "\n"
    "    1     2     7  1.          +1.0E-04\n"
    "    2     1    12  1.5         3.0e-05\n";

std::string read(const std::string& text, const Args& filter = {},
                 const std::string& file = "dash/job.mntr") {
  std::string json;
  GREND::appendMntrMonitorJson(&json, file, text, filter);
  std::string error;
  EXPECT_TRUE(solvarium_test::isValidJson(json, &error)) << error << "\n" << json;
  return json;
}

// One column's array and "current" member as the reader writes them.
std::string column(const std::string& name, const std::string& key, const Args& values,
                   const std::string& current) {
  std::string text = "\t,\"" + name + "\":\n\t[\n";
  for (std::size_t i = 0; i < values.size(); ++i) {
    text += (i > 0 ? "\t\t," : "\t\t") + values[i] + "\n";
  }
  text += "\t]\n";
  if (!current.empty()) text += "\t,\"" + key + "\":" + current + "\n";
  return text;
}

const char kHead[] =
    "{\n\t\"name\":\"Solution monitor of job\"\n\t,\"file\":\"dash/job.mntr\"\n"
    "\t,\"description\":\"Solution Monitor\"\n"
    "\t,\"additionalInfo\":\"KORLEN Grend 2026 build 7\"\n"
    "\t,\"columnHeaders\":\n\t[\n\t\t\"LOAD STEP\"\n\t\t,\"SUB-STEP\"\n\t\t,\"TOTL ITER\"\n"
    "\t\t,\"TOTAL TIME/LFACT\"\n\t\t,\"FORCE CONV\"\n\t]\n";

// The example file with rows `rows` (0..2) kept.
std::string expected(const std::vector<int>& rows) {
  const Args all[5] = {{"1", "1", "2"},
                       {"1", "2", "1"},
                       {"3", "7", "12"},
                       {"0.5", "1", "1.5"},
                       {"2.5E-03", "1.0E-04", "3.0e-05"}};
  const char* names[5] = {"LOAD STEP", "SUB-STEP", "TOTL ITER", "TOTAL TIME/LFACT", "FORCE CONV"};
  const char* keys[5] = {"currentLoadStep", "currentSubStep", "currentTotlIter",
                         "currentTotalTimeLfact", "currentForceConv"};
  std::string text = kHead;
  for (int c = 0; c < 5; ++c) {
    Args kept;
    for (int r : rows) kept.push_back(all[c][static_cast<std::size_t>(r)]);
    text += column(names[c], keys[c], kept, all[c][2]);
  }
  return text + "}\n";
}

TEST(GrendMntrReaderTest, TwoLineHeaderValuesAndFilters) {
  EXPECT_EQ(read(kMonitor), expected({0, 1, 2}));
  EXPECT_EQ(read(kMonitor, {"start_load_step_sub_step", "1", "2"}), expected({1, 2}));
  EXPECT_EQ(read(kMonitor, {"start_total_iter", "7"}), expected({1, 2}));
  EXPECT_EQ(read(kMonitor, {"start_total_time_lfact", "1.5"}), expected({2}));
  // Above every row: empty arrays, the "current" members stay.
  EXPECT_EQ(read(kMonitor, {"start_total_iter", "100"}), expected({}));
  // Wrong shapes filter nothing.
  EXPECT_EQ(read(kMonitor, {"start_load_step_sub_step", "2"}), expected({0, 1, 2}));
  EXPECT_EQ(read(kMonitor, {"start_time", "1"}), expected({0, 1, 2}));
}

TEST(GrendMntrReaderTest, NanIsDataAndStaysThroughAFilter) {
  // "-NaN" in column 0 ends the header; a "nan" row is not below any start.
  EXPECT_EQ(read("T\nX    TOTL\nY    ITER\n-NaN    1\n2      nan\n3      4\n",
                 {"start_total_iter", "2"}),
            "{\n\t\"name\":\"T\"\n\t,\"file\":\"dash/job.mntr\"\n"
            "\t,\"description\":\"Solution Monitor\"\n\t,\"additionalInfo\":\"Not recorded\"\n"
            "\t,\"columnHeaders\":\n\t[\n\t\t\"X Y\"\n\t\t,\"TOTL ITER\"\n\t]\n" +
                column("X Y", "currentXY", {"2", "3"}, "3") +
                column("TOTL ITER", "currentTotlIter", {"\"nan\"", "4"}, "4") + "}\n");
}

TEST(GrendMntrReaderTest, NoBannerNoRowsAndContinuedSegments) {
  // No banner: line 1 is the header; the "2" segment widens "A"; the next
  // line reads as zero, so it is a header line whose second word moves the
  // start of "B"; the last line is then neither header nor data.
  const std::string json = read("Title\nA 2  B\n0 0 0\nx y z\n");
  EXPECT_EQ(json,
            "{\n\t\"name\":\"Title\"\n\t,\"file\":\"dash/job.mntr\"\n"
            "\t,\"description\":\"Solution Monitor\"\n\t,\"additionalInfo\":\"Not recorded\"\n"
            "\t,\"columnHeaders\":\n\t[\n\t\t\"A 2 0\"\n\t\t,\"B 0\"\n\t]\n"
            "\t,\"A 2 0\":\n\t[\n\t]\n\t,\"B 0\":\n\t[\n\t]\n}\n");
}

TEST(GrendMntrReaderTest, ShortOddAndHostileFilesGiveValidObjects) {
  const std::vector<std::string> texts = {
      "",
      "   \n\t\n",
      "only a title",
      "T\nKORLEN\n",
      "T\n   \n",
      "T\nA   \n1\n",
      "T\n7 A B\n1 2\n3\n",
      std::string("T\nA B\n1\0 2\n3 4 5\n", 17),
      "T\n\"quote\\ \x01name\" X\n1 2\n3 4\n",
      "T\nA B\n1 nan\n2 inf\n3 0x1F\n4 1e\n5 -\n",
      "T\nA B C\n  1\n    2 3\n",
      "Caf\xe9\nA\xe9 B\n1 caf\xe9\n",
  };
  for (const std::string& text : texts) {
    SCOPED_TRACE(text);
    read(text, {}, "we\"ird\\name.mntr");
    read(text, {"start_load_step_sub_step", "1", "1"});
  }
  // Names and values that are not JSON go out escaped or quoted.
  const std::string json = read("T\"\nA\" B\n1 nan\n+2 .5\n");
  EXPECT_NE(json.find("\"name\":\"T\\\"\""), std::string::npos) << json;
  EXPECT_NE(json.find("\t\t\"nan\"\n"), std::string::npos) << json;
  EXPECT_NE(json.find("\t\t,2\n"), std::string::npos) << json;
  EXPECT_NE(json.find("\"currentB\":0.5"), std::string::npos) << json;
}

}  // namespace
