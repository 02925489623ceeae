// Hostile monitor-data output over IIOP: documents that once crashed the XML
// library or made it loop forever are refused at once as parse failures, the
// service keeps answering, and a nested plot line still gives valid JSON.
#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/brox_e2e_fixture.h"

namespace solvarium_test {
namespace {

class BroxXmlGateE2eTest : public BroxE2eTest {
 protected:
  void SetUp() override {
    makeDir("run_001.dir");
    writeFile(workFile("s1.res"), "saved");
    fakes().setDefaultOutput("plotinfo", "<Plots/>");
    fakes().setDefaultOutput("varinfo", "<Variables><Variable Name=\"Mass\"/></Variables>");
    startService();
  }

  // Runs `command`, which must fail within a second with the parse failure
  // of ./run_001.dir; returns the gate's reason.
  std::string refusal(const std::string& command, const std::string& document) {
    const auto began = std::chrono::steady_clock::now();
    const Outcome o = client().tryExecute(command);
    const auto took = std::chrono::steady_clock::now() - began;
    EXPECT_LT(took, std::chrono::seconds(1)) << command << " on " << document;
    EXPECT_TRUE(isException(o, "EScriptGenericError", {{"command", command}})) << document << "\n"
                                                                               << o;
    const std::string prefix = "Cannot parse the output of broxmondata for ./run_001.dir:\n";
    const std::string info = o.member("errorInfo");
    EXPECT_EQ(info.rfind(prefix + "XML document is not well-formed (line 1, column ", 0), 0u)
        << document << "\n"
        << info;
    return info.substr(info.find("): ") + 3);
  }
};

TEST_F(BroxXmlGateE2eTest, HostileDocumentsAreParseFailuresAndTheServiceGoesOn) {
  const std::vector<std::pair<std::string, std::string>> documents = {
      {"<a><? ?></a>", "not well-formed (invalid token)"},
      {"<?\xff?>", "not well-formed (invalid token)"},
      {"<a><!--", "unclosed token"},
      {"<a><![CDATA[x", "unclosed CDATA section"},
      {"<a><?pi x", "unclosed token"},
      {"<a><!-- x ---></a>", "not well-formed (invalid token)"},
      {"\xEF\xBB\xBF<Plots><Plot></Plots>", "mismatched tag"},
  };
  for (const auto& [document, reason] : documents) {
    fakes().setOutput("plotinfo", "./run_001.dir", document);
    fakes().setOutput("varinfo", "./run_001.dir", document);
    EXPECT_EQ(refusal("aaS.list_report_plots", document), reason);
    EXPECT_EQ(refusal("aaS.list_all_variable_names", document), reason);
    // Still answering: the saved run's listing is untouched by the broken run.
    EXPECT_EQ(json("aaS.list_saved_variable_names"),
              "[\n\t{\n\t\t\"monitorType\":\t\"SavedMonitor\"\n\t\t,\n\t\t\"monitorFile\":\t"
              "\"s1.res\"\n\t\t,\n\t\t\"metaData\":\n\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"Mass\"\n"
              "\t\t\t}\n\t\t]\n\t}\n]\n");
  }
  EXPECT_TRUE(service().waitForStderr("parse exception: XML document is not well-formed"));

  // A plot line nested in another is one line of its plot, at the deepest
  // nesting accepted too (read on a request's thread).
  std::string opens, closes;  // to 1,000 levels with Plots, Plot, PlotLine and YVar
  for (int level = 5; level < 1000; ++level) opens += "<g>", closes += "</g>";
  fakes().setOutput("plotinfo", "./run_001.dir",
                    "<Plots><Plot Name=\"P\" Visibility=\"true\"><PlotLine><XVar Name=\"x\"/>" +
                        opens + "<PlotLine><YVar Name=\"y\"/></PlotLine>" + closes +
                        "</PlotLine></Plot></Plots>");
  EXPECT_EQ(json("aaS.list_report_plots"),
            "[\n\t{\n\t\t\"monitorType\":\t\"DirectoryMonitor\"\n\t\t,\n\t\t\"monitorDir\":\t"
            "\"run_001.dir\"\n\t\t,\n\t\t\"metaData\":\n\t\t[\n\t\t\t{\n"
            "\t\t\t\t\"plotName\":\"P\",\n\t\t\t\t\"plotDisplayName\":\"\",\n"
            "\t\t\t\t\"plotVisibility\":true,\n\t\t\t\t\"xAxisDisplayName\":\"\",\n"
            "\t\t\t\t\"xAxisLogarithmicScale\":null,\n\t\t\t\t\"yAxisDisplayName\":\"\",\n"
            "\t\t\t\t\"yAxisLogarithmicScale\":null,\n\t\t\t\t\"plotLines\":\n\t\t\t\t[\n"
            "\t\t\t\t\t{\n\t\t\t\t\t\t\"xVarName\":\"x\",\n\t\t\t\t\t\t\"xVarDisplayName\":\"\",\n"
            "\t\t\t\t\t\t\"yVarName\":\"y\",\n\t\t\t\t\t\t\"yVarDisplayName\":\"\"\n"
            "\t\t\t\t\t}\n\t\t\t\t]\n\t\t\t}\n\t\t]\n\t}\n]\n");
  expectTmpEmpty("the hostile documents");
}

}  // namespace
}  // namespace solvarium_test
