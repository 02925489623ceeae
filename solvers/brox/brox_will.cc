#include "solvers/brox/brox_will.h"

#include <utility>

#include "common/json_text.h"
#include "solvers/brox/brox_errors.h"

namespace BROX {

void writeWillJson(const Will& will, std::string& result) {
  result += "{\n";
  if (will.size() == 1) {
    const auto& session = *will.begin();
    result += "\t\"session-name\":\t" + solvarium::jsonQuote(session.first) + "\n";
    result += "\t,\n";
    result += "\t\"attributes\":\n";
    result += "\t[\n";
    bool first = true;
    for (const std::string& attribute : session.second) {
      if (!first) result += "\t\t,\n";
      first = false;
      result += "\t\t" + solvarium::jsonQuote(attribute) + "\n";
    }
    result += "\t]\n";
  }
  result += "}\n";
}

void ReportPlotWill::retrieve(std::string& result, const Tokens& tokens,
                              const std::string& commandText) const {
  if (tokens.size() > 1)
    raiseScriptError(commandText, "command [" + tokens[0] + "] does not have parameters");
  writeWillJson(will_, result);
}

void ReportPlotWill::parseArguments(std::string& result, const Tokens& tokens,
                                    const std::string& commandText) {
  const std::string& command = tokens.empty() ? std::string() : tokens[0];
  bool amend = false;
  if (command == "aaS.amend_report_plots_will") {
    amend = true;
    result.clear();
  } else if (command == "aaS.list_report_plots" || command == "aaS.list_saved_report_plots" ||
             command == "aaS.list_report_plots_with_persisted_data" ||
             command == "aaS.list_saved_report_plots_with_persisted_data") {
    if (!implicitAmends_) return;
  } else {
    raiseMonitorArgumentError("Unexpected token:\n" + command, commandText, 1);
  }

  // Parsed into locals so that a rejected command leaves the will fields.
  std::string sessionName, plotList, variableList, messages;
  struct Keyword {
    const char* name;
    std::string* field;  // null: the value is read elsewhere from the tokens
  };
  const Keyword keywords[] = {
      {"session-name", &sessionName}, {"plot-list", &plotList},
      {"variable-list", &variableList}, {"start-time-step", nullptr},
      {"end-time-step", nullptr},
  };

  // Each keyword is tested in turn on the token at the current index, so a
  // value that is itself a keyword followed by a token is taken as one.
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    bool matched = false;
    for (const Keyword& keyword : keywords) {
      if (tokens[i] == keyword.name && i + 1 < tokens.size()) {
        ++i;
        if (keyword.field != nullptr) *keyword.field = tokens[i];
        matched = true;
      }
    }
    if (!matched) raiseMonitorArgumentError("Invalid token:\n" + tokens[i], commandText, i + 1);
    if (amend)
      messages += "BROX Will updated with new <" + tokens[i - 1] + ">:\n\t" + tokens[i] + "\n";
  }

  sessionName_ = sessionName;
  plotList_ = plotList;
  variableList_ = variableList;
  if (sessionName_.empty()) messages += "BROX Will updated to include all sessions.\n";
  if (plotList_.empty()) messages += "BROX Will updated to include all default plots.\n";
  if (variableList_.empty()) messages += "BROX Will updated to include all default variables.\n";
  result += messages;
}

void ReportPlotWill::file() {
  will_.clear();
  for (const auto& attribute : {std::make_pair("plot-list", &plotList_),
                                std::make_pair("variable-list", &variableList_)}) {
    if (attribute.second->empty()) continue;
    std::vector<std::string>& words = will_[sessionName_];
    words.push_back(attribute.first);
    words.push_back(*attribute.second);
  }
}

}  // namespace BROX
