// SAX handler that turns the report-plot description of the Brox
// monitor-data program (mode "-plotinfo") into the JSON array of plots that
// the report-plot listing places under "metaData".
//
// One handler serves one parse in one thread: construct it with the
// command's filter pairs, parse, then read jsonText, variableFilter and
// plotVariables. Parse failures are left to the parser's exception (the base
// class's error callbacks do nothing; it resolves no entity).
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_PLOT_METADATA_HANDLER_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_PLOT_METADATA_HANDLER_H_

#include <ACEXML/common/DefaultHandler.h>

#include <set>
#include <string>
#include <vector>

namespace BROX {

class CXmlToJsonPlotMetaDataHandler : public ACEXML_DefaultHandler {
 public:
  // `filterPairs`: "plot-list" / "variable-list" each followed by its value
  // as the client typed it (double quotes around the ';'-separated list).
  explicit CXmlToJsonPlotMetaDataHandler(std::vector<std::string> filterPairs);

  void endDocument() override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;
  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;

  // `text` with a backslash before every double quote; nothing else changes.
  static std::string escapeDoubleQuotes(const std::string& text);

  bool inPlot = false;       // a plot that passed the plot filter is open
  bool plotWritten = false;  // the next plot object needs a separator
  bool inPlotLine = false;   // a plot line of a selected plot is open
  int plotLineCount = 0;     // written plot lines of the open plot
  std::string plotName;
  std::string plotDisplayName;
  std::string plotVisibility;
  std::string xAxisDisplayName;
  std::string xAxisLogarithmicScale;
  std::string yAxisDisplayName;
  std::string yAxisLogarithmicScale;
  std::string xVarName;
  std::string xVarDisplayName;
  std::string yVarName;
  std::string yVarDisplayName;
  std::string plotLinesText;             // JSON array of the open plot's lines
  std::set<std::string> plotVariables;   // quote-escaped x and y variables written
  std::set<std::string> variableFilter;  // empty: every line passes
  std::set<std::string> plotFilter;      // empty: every plot passes
  std::string jsonText;                  // the result

 private:
  void clearPlotTexts();

  int nestedPlotLines_ = 0;  // "PlotLine" elements open inside the open plot line
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_PLOT_METADATA_HANDLER_H_
