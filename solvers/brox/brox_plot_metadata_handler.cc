#include "solvers/brox/brox_plot_metadata_handler.h"

#include <ACEXML/common/Attributes.h>

#include <cstring>
#include <utility>

#include "common/json_text.h"
#include "solvers/brox/brox_monitor_commands.h"

namespace BROX {
namespace {

std::string text(const ACEXML_Char* value) { return value != nullptr ? value : ""; }

// A ';'-separated filter value, without one enclosing pair of double quotes.
void addFilterNames(const std::string& value, std::set<std::string>* names) {
  const std::string list = removeEnclosingQuotes(value);
  std::size_t start = 0;
  while (start <= list.size()) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    if (end > start) names->insert(list.substr(start, end - start));
    start = end + 1;
  }
}

// A value the program gives as a JSON literal; anything else is quoted so
// the answer stays valid JSON, and a missing value is null.
std::string jsonLiteral(const std::string& value) {
  if (value.empty()) return "null";
  if (value == "true" || value == "false" || value == "null" || solvarium::isJsonNumber(value)) {
    return value;
  }
  return solvarium::jsonQuote(value);
}

}  // namespace

CXmlToJsonPlotMetaDataHandler::CXmlToJsonPlotMetaDataHandler(std::vector<std::string> filterPairs) {
  for (std::size_t i = 0; i < filterPairs.size(); ++i) {
    if (filterPairs[i] == "variable-list" && i + 1 < filterPairs.size()) {
      ++i;
      addFilterNames(filterPairs[i], &variableFilter);
    }
    if (filterPairs[i] == "plot-list" && i + 1 < filterPairs.size()) {
      ++i;
      addFilterNames(filterPairs[i], &plotFilter);
    }
  }
}

std::string CXmlToJsonPlotMetaDataHandler::escapeDoubleQuotes(const std::string& value) {
  std::string escaped;
  for (char c : value) {
    if (c == '"') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

void CXmlToJsonPlotMetaDataHandler::clearPlotTexts() {
  plotName.clear();
  plotDisplayName.clear();
  plotVisibility.clear();
  xAxisDisplayName.clear();
  xAxisLogarithmicScale.clear();
  yAxisDisplayName.clear();
  yAxisLogarithmicScale.clear();
}

void CXmlToJsonPlotMetaDataHandler::startDocument() {
  plotWritten = false;
  inPlotLine = false;
  plotLineCount = 0;
  nestedPlotLines_ = 0;
  jsonText = "\t\t[\n";
  plotLinesText = "\t\t\t\t[\n";
}

void CXmlToJsonPlotMetaDataHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                                 const ACEXML_Char* qName,
                                                 ACEXML_Attributes* atts) {
  const std::string name = text(qName);
  // Attribute name -> field it sets for this element; later duplicates win.
  std::vector<std::pair<const char*, std::string*>> fields;
  if (name == "Plot") {
    fields = {
        {"Name", &plotName}, {"DisplayName", &plotDisplayName}, {"Visibility", &plotVisibility}};
  } else if (!inPlot) {
    return;
  } else if (name == "XAxis") {
    fields = {{"DisplayName", &xAxisDisplayName}, {"LogarithmicScale", &xAxisLogarithmicScale}};
  } else if (name == "YAxis") {
    fields = {{"DisplayName", &yAxisDisplayName}, {"LogarithmicScale", &yAxisLogarithmicScale}};
  } else if (name == "PlotLine") {
    // A plot line inside a plot line is part of the outer one.
    if (inPlotLine) {
      ++nestedPlotLines_;
    } else {
      inPlotLine = true;
      ++plotLineCount;
    }
  } else if (name == "XVar" && inPlotLine) {
    fields = {{"Name", &xVarName}, {"DisplayName", &xVarDisplayName}};
  } else if (name == "YVar" && inPlotLine) {
    fields = {{"Name", &yVarName}, {"DisplayName", &yVarDisplayName}};
  }

  if (atts != nullptr) {
    for (std::size_t i = 0; i < atts->getLength(); ++i) {
      const ACEXML_Char* attribute = atts->getQName(i);
      if (attribute == nullptr) continue;
      for (auto& field : fields) {
        if (std::strcmp(attribute, field.first) == 0) *field.second = text(atts->getValue(i));
      }
    }
  }

  if (name == "Plot") {
    inPlot = plotFilter.empty() || plotFilter.count(escapeDoubleQuotes(plotName)) > 0;
    if (inPlot) {
      plotLinesText = "\t\t\t\t[\n";
      plotLineCount = 0;
      inPlotLine = false;
      nestedPlotLines_ = 0;
    } else {
      plotName.clear();
      plotDisplayName.clear();
      plotVisibility.clear();
    }
  }
}

void CXmlToJsonPlotMetaDataHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                               const ACEXML_Char* qName) {
  const std::string name = text(qName);
  if (!inPlot) return;
  if (name == "PlotLine") {
    if (nestedPlotLines_ > 0) {
      --nestedPlotLines_;
      return;
    }
    if (variableFilter.empty() || variableFilter.count(escapeDoubleQuotes(yVarName)) > 0) {
      plotVariables.insert(escapeDoubleQuotes(yVarName));
      plotVariables.insert(escapeDoubleQuotes(xVarName));
      if (plotLineCount > 1) plotLinesText += "\t\t\t\t\t,\n";
      plotLinesText += "\t\t\t\t\t{\n";
      plotLinesText += "\t\t\t\t\t\t\"xVarName\":" + solvarium::jsonQuote(xVarName) + ",\n";
      plotLinesText +=
          "\t\t\t\t\t\t\"xVarDisplayName\":" + solvarium::jsonQuote(xVarDisplayName) + ",\n";
      plotLinesText += "\t\t\t\t\t\t\"yVarName\":" + solvarium::jsonQuote(yVarName) + ",\n";
      plotLinesText +=
          "\t\t\t\t\t\t\"yVarDisplayName\":" + solvarium::jsonQuote(yVarDisplayName) + "\n";
      plotLinesText += "\t\t\t\t\t}\n";
    } else {
      --plotLineCount;
    }
    inPlotLine = false;
    xVarName.clear();
    xVarDisplayName.clear();
    yVarName.clear();
    yVarDisplayName.clear();
  } else if (name == "Plot") {
    if (plotLineCount > 0) {
      if (plotWritten) {
        jsonText += "\t\t\t,\n";
      } else {
        plotWritten = true;
      }
      plotLinesText += "\t\t\t\t]";
      jsonText += "\t\t\t{\n";
      jsonText += "\t\t\t\t\"plotName\":" + solvarium::jsonQuote(plotName) + ",\n";
      jsonText += "\t\t\t\t\"plotDisplayName\":" + solvarium::jsonQuote(plotDisplayName) + ",\n";
      jsonText += "\t\t\t\t\"plotVisibility\":" + jsonLiteral(plotVisibility) + ",\n";
      jsonText += "\t\t\t\t\"xAxisDisplayName\":" + solvarium::jsonQuote(xAxisDisplayName) + ",\n";
      jsonText += "\t\t\t\t\"xAxisLogarithmicScale\":" + jsonLiteral(xAxisLogarithmicScale) + ",\n";
      jsonText += "\t\t\t\t\"yAxisDisplayName\":" + solvarium::jsonQuote(yAxisDisplayName) + ",\n";
      jsonText += "\t\t\t\t\"yAxisLogarithmicScale\":" + jsonLiteral(yAxisLogarithmicScale) + ",\n";
      jsonText += "\t\t\t\t\"plotLines\":\n";
      jsonText += plotLinesText + "\n";
      jsonText += "\t\t\t}\n";
    }
    inPlot = false;
    clearPlotTexts();
  }
}

void CXmlToJsonPlotMetaDataHandler::endDocument() { jsonText += "\t\t]\n"; }

}  // namespace BROX
