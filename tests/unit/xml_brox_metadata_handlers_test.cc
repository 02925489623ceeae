// The Brox plot and variable metadata handlers: JSON layout, filters and
// escaping. Every result is checked to be a valid JSON array.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "common/xml_document.h"
#include "solvers/brox/brox_plot_metadata_handler.h"
#include "solvers/brox/brox_variable_metadata_handler.h"
#include "tests/support/json_check.h"

namespace {

using BROX::CXmlToJsonPlotMetaDataHandler;
using BROX::CXmlToJsonVariableMetaDataHandler;

// What a plot handler holds after one parse.
struct Plots {
  std::string json;
  std::set<std::string> plotVariables, variableFilter, plotFilter;
};

Plots parsePlots(const std::string& xml, const std::vector<std::string>& filters) {
  CXmlToJsonPlotMetaDataHandler handler(filters);
  std::string error;
  EXPECT_TRUE(solvarium::parseXmlDocument(xml, handler, "MyXML", &error)) << error;
  EXPECT_TRUE(solvarium_test::isValidJson(handler.jsonText)) << handler.jsonText;
  return {handler.jsonText, handler.plotVariables, handler.variableFilter, handler.plotFilter};
}

std::string variableJson(const std::string& xml) {
  CXmlToJsonVariableMetaDataHandler handler;
  std::string error;
  EXPECT_TRUE(solvarium::parseXmlDocument(xml, handler, "MyXML", &error)) << error;
  EXPECT_TRUE(solvarium_test::isValidJson(handler.jsonText)) << handler.jsonText;
  return handler.jsonText;
}

const char kTwoPlots[] =
    "<Plots>"
    "<Plot Name=\"Pressure\" DisplayName=\"Pressure plot\" Visibility=\"true\">"
    "<XAxis DisplayName=\"Time\" LogarithmicScale=\"false\"/>"
    "<YAxis DisplayName=\"p\" LogarithmicScale=\"true\"/>"
    "<PlotLine><XVar Name=\"Time\" DisplayName=\"t\"/><YVar Name=\"Pressure\" "
    "DisplayName=\"P\"/></PlotLine>"
    "<PlotLine><XVar Name=\"Time\" DisplayName=\"t\"/><YVar Name=\"Density\" "
    "DisplayName=\"D\"/></PlotLine>"
    "</Plot>"
    "<Plot Name=\"Temperature\" DisplayName=\"T plot\" Visibility=\"false\">"
    "<XAxis DisplayName=\"Iter\" LogarithmicScale=\"false\"/>"
    "<YAxis DisplayName=\"T\" LogarithmicScale=\"false\"/>"
    "<PlotLine><XVar Name=\"Iter\" DisplayName=\"i\"/><YVar Name=\"Temp\" "
    "DisplayName=\"T\"/></PlotLine>"
    "</Plot>"
    "</Plots>";

TEST(BroxPlotMetadataHandlerTest, WritesEveryPlotAndLineWithoutFilters) {
  const Plots plots = parsePlots(kTwoPlots, {});
  EXPECT_EQ(plots.json,
            "\t\t[\n"
            "\t\t\t{\n"
            "\t\t\t\t\"plotName\":\"Pressure\",\n"
            "\t\t\t\t\"plotDisplayName\":\"Pressure plot\",\n"
            "\t\t\t\t\"plotVisibility\":true,\n"
            "\t\t\t\t\"xAxisDisplayName\":\"Time\",\n"
            "\t\t\t\t\"xAxisLogarithmicScale\":false,\n"
            "\t\t\t\t\"yAxisDisplayName\":\"p\",\n"
            "\t\t\t\t\"yAxisLogarithmicScale\":true,\n"
            "\t\t\t\t\"plotLines\":\n"
            "\t\t\t\t[\n"
            "\t\t\t\t\t{\n"
            "\t\t\t\t\t\t\"xVarName\":\"Time\",\n"
            "\t\t\t\t\t\t\"xVarDisplayName\":\"t\",\n"
            "\t\t\t\t\t\t\"yVarName\":\"Pressure\",\n"
            "\t\t\t\t\t\t\"yVarDisplayName\":\"P\"\n"
            "\t\t\t\t\t}\n"
            "\t\t\t\t\t,\n"
            "\t\t\t\t\t{\n"
            "\t\t\t\t\t\t\"xVarName\":\"Time\",\n"
            "\t\t\t\t\t\t\"xVarDisplayName\":\"t\",\n"
            "\t\t\t\t\t\t\"yVarName\":\"Density\",\n"
            "\t\t\t\t\t\t\"yVarDisplayName\":\"D\"\n"
            "\t\t\t\t\t}\n"
            "\t\t\t\t]\n"
            "\t\t\t}\n"
            "\t\t\t,\n"
            "\t\t\t{\n"
            "\t\t\t\t\"plotName\":\"Temperature\",\n"
            "\t\t\t\t\"plotDisplayName\":\"T plot\",\n"
            "\t\t\t\t\"plotVisibility\":false,\n"
            "\t\t\t\t\"xAxisDisplayName\":\"Iter\",\n"
            "\t\t\t\t\"xAxisLogarithmicScale\":false,\n"
            "\t\t\t\t\"yAxisDisplayName\":\"T\",\n"
            "\t\t\t\t\"yAxisLogarithmicScale\":false,\n"
            "\t\t\t\t\"plotLines\":\n"
            "\t\t\t\t[\n"
            "\t\t\t\t\t{\n"
            "\t\t\t\t\t\t\"xVarName\":\"Iter\",\n"
            "\t\t\t\t\t\t\"xVarDisplayName\":\"i\",\n"
            "\t\t\t\t\t\t\"yVarName\":\"Temp\",\n"
            "\t\t\t\t\t\t\"yVarDisplayName\":\"T\"\n"
            "\t\t\t\t\t}\n"
            "\t\t\t\t]\n"
            "\t\t\t}\n"
            "\t\t]\n");
  EXPECT_EQ(plots.plotVariables,
            (std::set<std::string>{"Density", "Iter", "Pressure", "Temp", "Time"}));
  EXPECT_TRUE(plots.variableFilter.empty());
}

TEST(BroxPlotMetadataHandlerTest, PlotAndVariableFilters) {
  // Filters in either order; each value loses its own quotes.
  Plots plots = parsePlots(
      kTwoPlots, {"variable-list", "\"Pressure;Temp\"", "plot-list", "\"Pressure;Velocity\""});
  std::string json = plots.json;
  EXPECT_NE(json.find("\"plotName\":\"Pressure\""), std::string::npos);
  EXPECT_EQ(json.find("Temperature"), std::string::npos);
  EXPECT_EQ(json.find("Density"), std::string::npos);
  EXPECT_EQ(json.find("\t\t\t\t\t,\n"), std::string::npos);  // one line left, no separator
  EXPECT_EQ(plots.plotFilter, (std::set<std::string>{"Pressure", "Velocity"}));
  EXPECT_EQ(plots.variableFilter, (std::set<std::string>{"Pressure", "Temp"}));
  // The x variable of a written line is collected, never filtered.
  EXPECT_EQ(plots.plotVariables, (std::set<std::string>{"Pressure", "Time"}));

  // A plot whose every line is dropped is not written; the next one gets no separator.
  json = parsePlots(kTwoPlots, {"variable-list", "\"Temp\""}).json;
  EXPECT_EQ(json.find("Pressure"), std::string::npos);
  EXPECT_EQ(json.rfind("\t\t[\n\t\t\t{\n\t\t\t\t\"plotName\":\"Temperature\"", 0), 0u) << json;

  // Empty quotes add no name, so everything passes.
  plots = parsePlots(kTwoPlots, {"plot-list", "\"\""});
  json = plots.json;
  EXPECT_TRUE(plots.plotFilter.empty());
  EXPECT_NE(json.find("Temperature"), std::string::npos);
}

TEST(BroxPlotMetadataHandlerTest, IgnoresMisplacedElementsAndEmptyDocuments) {
  EXPECT_EQ(parsePlots("<Plots/>", {}).json, "\t\t[\n\t\t]\n");
  // A plot without lines, axes and vars outside their parents write nothing.
  const std::string json = parsePlots(
                               "<Plots><XAxis DisplayName=\"stray\"/><PlotLine/>"
                               "<Plot Name=\"Empty\"><XVar Name=\"stray\"/></Plot>"
                               "<XAxis DisplayName=\"stray2\"/>"
                               "<Plot Name=\"P\" Visibility=\"true\"><PlotLine><YVar "
                               "Name=\"y\"/></PlotLine></Plot></Plots>",
                               {})
                               .json;
  EXPECT_EQ(json.find("stray"), std::string::npos) << json;
  EXPECT_EQ(json.find("Empty"), std::string::npos);
  EXPECT_NE(json.find("\"plotName\":\"P\""), std::string::npos);
}

TEST(BroxPlotMetadataHandlerTest, NestedPlotLinesAndPlotsStayValidJson) {
  // A plot line inside a plot line is part of it: one line, no separator.
  const std::string line =
      "\t\t\t\t\t{\n\t\t\t\t\t\t\"xVarName\":\"x\",\n\t\t\t\t\t\t\"xVarDisplayName\":\"\",\n"
      "\t\t\t\t\t\t\"yVarName\":\"y\",\n\t\t\t\t\t\t\"yVarDisplayName\":\"\"\n\t\t\t\t\t}\n";
  std::string json = parsePlots(
                         "<Plots><Plot Name=\"P\"><PlotLine><XVar Name=\"x\"/><PlotLine>"
                         "<YVar Name=\"y\"/></PlotLine></PlotLine></Plot></Plots>",
                         {})
                         .json;
  EXPECT_NE(json.find("\"plotLines\":\n\t\t\t\t[\n" + line + "\t\t\t\t]\n"), std::string::npos)
      << json;
  // Filtered or not, nested lines and nested plots never leave a stray separator.
  for (const std::vector<std::string>& filters :
       {std::vector<std::string>{}, std::vector<std::string>{"variable-list", "\"y\""},
        std::vector<std::string>{"plot-list", "\"Q\""}}) {
    parsePlots(
        "<Plots><Plot Name=\"P\"><PlotLine><PlotLine><YVar Name=\"z\"/></PlotLine>"
        "<PlotLine/></PlotLine><PlotLine><YVar Name=\"y\"/><Plot Name=\"Q\"><PlotLine>"
        "<PlotLine/><YVar Name=\"y\"/></PlotLine></Plot></PlotLine>"
        "<PlotLine><YVar Name=\"y\"/></PlotLine></Plot>"
        "<Plot Name=\"Q\"><PlotLine><YVar Name=\"y\"/></PlotLine></Plot></Plots>",
        filters);  // checks the JSON
  }
}

TEST(BroxPlotMetadataHandlerTest, EscapesStringsAndQuotesNonLiterals) {
  const Plots plots = parsePlots(
      "<Plots><Plot Name=\"a&quot;b\\c\" DisplayName=\"tab&#9;here\" Visibility=\"maybe\">"
      "<XAxis DisplayName=\"x\" LogarithmicScale=\"1e3\"/>"
      "<PlotLine><XVar Name=\"t\\s\"/><YVar Name=\"p&quot;q\"/></PlotLine></Plot></Plots>",
      {"variable-list", "\"p\\\"q\""});
  const std::string& json = plots.json;
  EXPECT_NE(json.find("\"plotName\":\"a\\\"b\\\\c\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"plotVisibility\":\"maybe\""), std::string::npos);
  EXPECT_NE(json.find("\"xAxisLogarithmicScale\":1e3"), std::string::npos);
  EXPECT_NE(json.find("\"yAxisLogarithmicScale\":null"), std::string::npos);
  EXPECT_NE(json.find("\"yVarName\":\"p\\\"q\""), std::string::npos);
  // Collected names keep the filter's quote escaping and their backslashes.
  EXPECT_EQ(plots.plotVariables, (std::set<std::string>{"p\\\"q", "t\\s"}));
  EXPECT_EQ(CXmlToJsonPlotMetaDataHandler::escapeDoubleQuotes("a\"b\\"), "a\\\"b\\");
}

TEST(BroxVariableMetadataHandlerTest, WritesVariablesInsideVariablesOnly) {
  EXPECT_EQ(variableJson("<Info/>"), "\t\t[\n\t\t]\n");
  EXPECT_EQ(variableJson("<Info><Variable Name=\"out\"/><Variables>"
                         "<Variable Name=\"p\" Unit=\"Pa\"/><Variable/>"
                         "<Variable Name=\"T\" Unit=\"K\"/></Variables>"
                         "<Variable Name=\"after\"/></Info>"),
            "\t\t[\n"
            "\t\t\t{\n"
            "\t\t\t\t\"Name\":\"p\"\n"
            "\t\t\t\t,\"Unit\":\"Pa\"\n"
            "\t\t\t}\n"
            "\t\t\t,{\n"
            "\t\t\t}\n"
            "\t\t\t,{\n"
            "\t\t\t\t\"Name\":\"T\"\n"
            "\t\t\t\t,\"Unit\":\"K\"\n"
            "\t\t\t}\n"
            "\t\t]\n");
}

TEST(BroxVariableMetadataHandlerTest, NestedElementsDoNotCloseTheVariable) {
  const std::string json = variableJson(
      "<Variables><Variable Name=\"a\"><Detail><Variable Name=\"inner\"/></Detail></Variable>"
      "<Variable Name=\"b\"/></Variables>");
  EXPECT_EQ(json,
            "\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"a\"\n\t\t\t}\n"
            "\t\t\t,{\n\t\t\t\t\"Name\":\"b\"\n\t\t\t}\n\t\t]\n");
}

TEST(BroxVariableMetadataHandlerTest, EscapesValuesAndKeepsBackslashes) {
  const std::string json = variableJson(
      "<Variables><Variable Name=\"a&quot;b\" Path=\"c:\\dir\" Note=\"x&#10;y\"/></Variables>");
  EXPECT_NE(json.find("\"Name\":\"a\\\"b\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"Path\":\"c:\\\\dir\""), std::string::npos);
  EXPECT_NE(json.find("\"Note\":\"x\\ny\""), std::string::npos);
}

}  // namespace
