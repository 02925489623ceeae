// The ".cnd", ".gst" and ".nlh" handlers behind the XML gate: exact
// documents, merging and filters, and hostile documents.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "solvers/grend/grend_monitor_files.h"
#include "tests/support/json_check.h"

namespace {

using GREND::XmlMonitorKind;
using Args = std::vector<std::string>;

// The handler's document for `xml`; "" when the document is refused.
std::string convert(XmlMonitorKind kind, const std::string& file, const std::string& xml,
                    const Args& filter = {}) {
  std::string json;
  std::string error;
  if (!GREND::appendXmlMonitorJson(kind, &json, file, xml, filter, &error)) return "";
  EXPECT_TRUE(solvarium_test::isValidJson(json, &error)) << error << "\n" << json;
  return json;
}

std::string head(const std::string& base, const std::string& ext, const std::string& what) {
  return "{\n\t\"name\":\"" + base + "\"\n\t,\"file\":\"" + base + ext +
         "\"\n\t,\"description\":\"" + what + "\"\n";
}

const char kCnd[] =
    "<SOLUTION>\n <HEADER>\n  <UNITS>MPA</UNITS>\n  <COLUMN ID=\"1\">PAIR</COLUMN>\n"
    "  <COLUMN ID=\"2\">PRES</COLUMN>\n  <COLUMN>ignored</COLUMN>\n"
    "  <COLUMN ID=\"3\">GAP</COLUMN>\n </HEADER>\n"
    " <COLDATA LOAD_STEP=\" 1.\" SUBSTEP=\"1\" ITERATION=\"4\" TIME=\"0.5\">\n"
    "  3 1.5 0.\n  7 2.5 0.1\n </COLDATA>\n"
    " <COLDATA LOAD_STEP=\"2\" SUBSTEP=\"1\" ITERATION=\"9\" TIME=\"1.0\">\n"
    "  3 1.6 <!-- split -->0.0\n  7 <![CDATA[2.6]]> 0.2\n </COLDATA>\n</SOLUTION>\n";

TEST(GrendXmlHandlersTest, ContactFile) {
  EXPECT_EQ(convert(XmlMonitorKind::kCnd, "dash/contact.cnd", kCnd, {"start_time", "9"}),
            head("dash/contact", ".cnd", "Contact ND data") +
                "\t,\"persistedData\":\n\t{\n\t\t\"units\":\"MPA\"\n"
                "\t\t,\"currentLOADSTEP\":\"2\"\n\t\t,\"currentTIME\":\"1.0\"\n"
                "\t\t,\"xAxis\":\n\t\t[\n\t\t\t \"LOAD_STEP\"\n\t\t\t,\"SUBSTEP\"\n"
                "\t\t\t,\"ITERATION\"\n\t\t\t,\"TIME\"\n\t\t]\n"
                "\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"PAIR\"\n\t\t\t,\"PRES\"\n\t\t\t,\"GAP\"\n\t\t]\n"
                "\t\t,\"ContactPairIds\":[\"3\",\"7\"]\n\t\t,\"LOAD_STEP\":[1,2]\n"
                "\t\t,\"SUBSTEP\":[1,1]\n\t\t,\"ITERATION\":[4,9]\n\t\t,\"TIME\":[0.5,1.0]\n"
                "\t\t,\"PRES\":\n\t\t{\n\t\t\t\"3\":[1.5,1.6]\n\t\t\t,\"7\":[2.5,2.6]\n\t\t}\n"
                "\t\t,\"GAP\":\n\t\t{\n\t\t\t\"3\":[0,0.0]\n\t\t\t,\"7\":[0.1,0.2]\n\t\t}\n"
                "\t}\n}");
  // Pair ids that change, no data block, or no column: no "persistedData".
  std::string changed = kCnd;
  changed.replace(changed.rfind("7 <!"), 1, "8");
  for (const std::string& xml :
       {changed, std::string("<SOLUTION><HEADER><COLUMN ID=\"1\">P</COLUMN></HEADER></SOLUTION>"),
        std::string("<SOLUTION><COLDATA LOAD_STEP=\"1\">3 4</COLDATA></SOLUTION>")}) {
    EXPECT_EQ(convert(XmlMonitorKind::kCnd, "c.cnd", xml), head("c", ".cnd", "Contact ND data") + "}")
        << xml;
  }
  // A name of four characters has the empty base name.
  EXPECT_EQ(convert(XmlMonitorKind::kCnd, ".cnd", changed),
            head("", ".cnd", "Contact ND data") + "}");
}

std::string gstStretch(const std::string& data, const std::string& units = "N") {
  return "<LOADSTEPDATA><HEADER><UNITS>" + units +
         "</UNITS><COLUMN ID=\"1\">Time</COLUMN><COLUMN ID=\"2\">Load Step</COLUMN>"
         "<COLUMN ID=\"3\">Sub-step</COLUMN><COLUMN ID=\"4\">Cum Iter</COLUMN></HEADER>"
         "<COLDATA>" +
         data + "</COLDATA></LOADSTEPDATA>";
}

const Args kTime = {"0.1", "0.5", "1.0", "1.5"};
const Args kStep = {"1", "1", "2", "2"};
const Args kSub = {"1", "2", "1", "2"};
const Args kIter = {"2", "5", "9", "12"};

// One persisted-data member of the four-column example with rows `rows`.
std::string gstData(const std::string& member, const std::vector<std::size_t>& rows,
                    std::size_t first = 0, std::size_t last = 3) {
  const Args* columns[4] = {&kTime, &kStep, &kSub, &kIter};
  const char* names[4] = {"Time", "Load Step", "Sub-step", "Cum Iter"};
  std::string text = "\t,\"" + member + "\":\n\t{\n\t\t\"units\":\"N\"\n";
  const char* keys[4] = {"currentTime", "currentLoadStep", "currentSubStep", "currentCumIter"};
  for (int c = 0; c < 4; ++c) text += std::string("\t\t,\"") + keys[c] + "\":" + (*columns[c])[last] + "\n";
  text += "\t\t,\"xAxis\":\"Time\"\n\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"Load Step\"\n"
          "\t\t\t,\"Sub-step\"\n\t\t\t,\"Cum Iter\"\n\t\t]\n";
  for (int c = 0; c < 4; ++c) {
    text += std::string("\t\t,\"") + names[c] + "\":\n\t\t[\n";
    bool firstValue = true;
    for (std::size_t r : rows) {
      if (r < first || r > last) continue;
      text += (firstValue ? "\t\t\t" : "\t\t\t,") + (*columns[c])[r] + "\n";
      firstValue = false;
    }
    text += "\t\t]\n";
  }
  return text + "\t}\n";
}

TEST(GrendXmlHandlersTest, SolutionTrackingFileMergesAndFilters) {
  const std::string gst = "<SOLUTION>" + gstStretch("0.1 1 1 2\n0.5 1 2 5.") +
                          gstStretch("1.0 2 1 9 1.5 2 2 12") + "</SOLUTION>";
  const std::string top = head("dash/track", ".gst", "Graphical Solution Tracking data");
  auto run = [&](const Args& filter) {
    return convert(XmlMonitorKind::kGst, "dash/track.gst", gst, filter);
  };
  EXPECT_EQ(run({}), top + gstData("persistedData", {0, 1, 2, 3}) + "}");
  EXPECT_EQ(run({"start_load_step_sub_step", "1", "2"}),
            top + gstData("persistedData", {1, 2, 3}) + "}");
  EXPECT_EQ(run({"start_time", "1.0"}), top + gstData("persistedData", {2, 3}) + "}");
  EXPECT_EQ(run({"start_cum_iter", "9"}), top + gstData("persistedData", {2, 3}) + "}");
  EXPECT_EQ(run({"start_cum_iter", "-1"}), top + gstData("persistedData", {0, 1, 2, 3}) + "}");
  EXPECT_EQ(run({"start_time", "99"}), top + gstData("persistedData", {}) + "}");

  // The second stretch starts where the first ended: two numbered members.
  const std::string overlap = "<SOLUTION>" + gstStretch("0.1 1 1 2\n0.5 1 2 5.") +
                              gstStretch("0.5 2 1 9 1.5 2 2 12") + "</SOLUTION>";
  std::string second = gstData("persistedData_0001", {2, 3}, 2, 3);
  second.replace(second.find("\t\t\t1.0\n"), 7, "\t\t\t0.5\n");
  EXPECT_EQ(convert(XmlMonitorKind::kGst, "dash/track.gst", overlap),
            top + gstData("persistedData_0000", {0, 1}, 0, 1) + second + "}");
}

// Text split by a comment and CDATA, a CR LF, a final '.', and a last row
// without its "Cum Iter": the filter drops that row; the object is written
// after what the answer already holds.
TEST(GrendXmlHandlersTest, SolutionTrackingPartialRowAppendsToTheAnswer) {
  const std::string gst =
      "<SOLUTION><LOADSTEPDATA><HEADER><COLUMN ID=\"1\">Time</COLUMN><COLUMN ID=\"2\">Cum "
      "Iter</COLUMN></HEADER><COLDATA>\n0.1 1 <!-- c -->0.2 <![CDATA[2]]>\r\n0.3.\n</COLDATA>"
      "</LOADSTEPDATA></SOLUTION>";
  std::string json = "[\n";
  std::string error;
  ASSERT_TRUE(GREND::appendXmlMonitorJson(XmlMonitorKind::kGst, &json, "t.gst", gst,
                                          {"start_cum_iter", "2"}, &error))
      << error;
  EXPECT_EQ(json, "[\n" + head("t", ".gst", "Graphical Solution Tracking data") +
                      "\t,\"persistedData\":\n\t{\n\t\t\"units\":\"\"\n\t\t,\"currentTime\":0.3\n"
                      "\t\t,\"currentCumIter\":2\n\t\t,\"xAxis\":\"Time\"\n\t\t,\"yAxis\":\n"
                      "\t\t[\n\t\t\t\"Cum Iter\"\n\t\t]\n\t\t,\"Time\":\n\t\t[\n\t\t\t0.2\n\t\t]\n"
                      "\t\t,\"Cum Iter\":\n\t\t[\n\t\t\t2\n\t\t]\n\t}\n}");
  // Unfiltered: every value, the partial row's included.
  EXPECT_NE(convert(XmlMonitorKind::kGst, "t.gst", gst).find(
                "\t\t,\"Time\":\n\t\t[\n\t\t\t0.1\n\t\t\t,0.2\n\t\t\t,0.3\n\t\t]\n"
                "\t\t,\"Cum Iter\":\n\t\t[\n\t\t\t1\n\t\t\t,2\n\t\t]\n"),
            std::string::npos);
}

TEST(GrendXmlHandlersTest, HistoryFile) {
  const std::string nlh =
      "<?xml version=\"1.0\"?>\n<SOLUTION><HEADER><UNITS>s</UNITS>"
      "<COLUMN ID=\"1\">Time</COLUMN>"
      "<COLUMN ID=\"2\" CONTACT_PAIR=\" 3. \" ITEM=\"PRES\" COMP=\"X\"> P3 </COLUMN>"
      "<COLUMN ID=\"4\" CONTACT_PAIR=\"4\" ITEM=\"GAP\" COMP=\"\">G4</COLUMN></HEADER>"
      "<COLDATA>0.1 1 2 9 0.2 3 4 9</COLDATA><COLDATA>0.3 5 6 9 2. 7 8 9</COLDATA></SOLUTION>";
  const std::string top = head("h", ".nlh", "NLH data");
  EXPECT_EQ(convert(XmlMonitorKind::kNlh, "h.nlh", nlh, {"start_time", "5"}),
            top +
                "\t,\"persistedData\":\n\t{\n\t\t\"currentTime\":\"2.\"\n"
                "\t\t,\"xAxis\":\n\t\t[\n\t\t\t\"Time\"\n\t\t]\n"
                "\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"P3\"\n\t\t\t,\"\"\n\t\t\t,\"G4\"\n\t\t]\n"
                "\t\t,\"yAxisProperties\":\n\t\t{\n"
                "\t\t\t\"P3\":\n\t\t\t{\n\t\t\t\t \"CONTACT_PAIR\":\"3\"\n"
                "\t\t\t\t,\"ITEM\"        :\"PRES\"\n\t\t\t\t,\"COMP\"        :\"X\"\n\t\t\t}\n"
                "\t\t\t,\"\":\n\t\t\t{\n\t\t\t\t \"CONTACT_PAIR\":\"\"\n"
                "\t\t\t\t,\"ITEM\"        :\"\"\n\t\t\t\t,\"COMP\"        :\"\"\n\t\t\t}\n"
                "\t\t\t,\"G4\":\n\t\t\t{\n\t\t\t\t \"CONTACT_PAIR\":\"4\"\n"
                "\t\t\t\t,\"ITEM\"        :\"GAP\"\n\t\t\t\t,\"COMP\"        :\"\"\n\t\t\t}\n"
                "\t\t}\n"
                "\t\t,\"Time\":[0.1,0.2,0.3,2]\n\t\t,\"P3\":[1,3,5,7]\n\t\t,\"\":[2,4,6,8]\n"
                "\t\t,\"G4\":[9,9,9,9]\n\t}\n}");
  // Tables that overlap in time: no "persistedData".
  std::string overlap = nlh;
  overlap.replace(overlap.find("0.3 5"), 3, "0.2");
  EXPECT_EQ(convert(XmlMonitorKind::kNlh, "h.nlh", overlap), top + "}");
}

TEST(GrendXmlHandlersTest, HostileDocumentsAreRefusedOrGiveValidJson) {
  std::string deep = "<SOLUTION>";
  for (int i = 0; i < 2000; ++i) deep += "<a>";
  std::string wide = "<SOLUTION";
  for (int i = 0; i < 20000; ++i) wide += " a" + std::to_string(i) + "=\"1\"";
  wide += "/>";
  std::string columns = "<SOLUTION><COLDATA";  // quadratic in ACEXML above 20
  for (int i = 0; i < 21; ++i) columns += " A" + std::to_string(i) + "=\"1\"";
  const std::vector<std::string> refused = {
      "<!DOCTYPE x [<!ENTITY e SYSTEM \"/etc/passwd\">]><SOLUTION>&e;</SOLUTION>",
      "<SOLUTION><HEADER><UNITS>", deep, wide, columns + "/></SOLUTION>", ""};
  const std::vector<std::string> accepted = {
      "\xEF\xBB\xBF<?xml version=\"1.0\"?><SOLUTION/>",
      "<SOLUTION><HEADER><COLUMN ID=\"99999999999\">A</COLUMN><COLUMN ID=\"0\">B</COLUMN>"
      "<COLUMN ID=\"-4\">C</COLUMN></HEADER><COLDATA>1 2 3</COLDATA>"
      "<LOADSTEPDATA><COLDATA>1 2</COLDATA></LOADSTEPDATA></SOLUTION>",
      "<SOLUTION><LOADSTEPDATA><HEADER><COLUMN ID=\"10000\">\"q\\</COLUMN></HEADER>"
      "<COLDATA>1 x 2</COLDATA></LOADSTEPDATA><COLDATA>5</COLDATA></SOLUTION>",
      "<SOLUTION><HEADER><COLUMN ID=\"2\">Time</COLUMN></HEADER><COLDATA/></SOLUTION>",
      "<COLDATA LOAD_STEP=\"1\">1</COLDATA>",
      "<SOLUTION><HEADER><COLUMN ID=\"1\"><COLUMN>inner</COLUMN>Time</COLUMN></HEADER>"
      "<COLDATA>1 2</COLDATA></SOLUTION>"};
  for (XmlMonitorKind kind : {XmlMonitorKind::kCnd, XmlMonitorKind::kGst, XmlMonitorKind::kNlh}) {
    for (const std::string& xml : refused) {
      EXPECT_EQ(convert(kind, "x.cnd", xml), "") << xml.substr(0, 80);
    }
    for (const std::string& xml : accepted) {
      EXPECT_NE(convert(kind, "x\".gst", xml), "") << xml;
    }
  }
}

}  // namespace
