#include "solvers/talvo/talvo_monitors.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "common/json_text.h"
#include "common/text_words.h"
#include "solvers/talvo/talvo_errors.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

namespace {

struct FilterOption {
  const char* name;
  const char* prompt;
  const char* message;
  const char* errorCommand;
  const char* errorInfo;
};

const FilterOption kFilterOptions[] = {
    {"start-flow-time", "Start Flow Time [0]", "Starting flow time not provided.",
     "Retrieving flow time filtered instant monitor data",
     "Please provide a positive number for start-flow-time."},
    {"start-iteration", "Start Iteration [0]", "Starting iteration not provided.",
     "Retrieving iteration filtered instant monitor data",
     "Please provide a positive number for start-iteration."},
    {"start-time-step", "Start Time Step [0]", "Starting time step not provided.",
     "Retrieving iteration filtered instant monitor data",
     "Please provide a positive number for start-time-step."},
};

// Reads `text` as a whole through a text stream; false when the read
// fails, leaves characters unread or gives a negative value.
template <typename Number>
bool readWhole(const std::string& text, Number* value) {
  std::istringstream in(text);
  Number read{};
  if (!(in >> read) || in.peek() != std::char_traits<char>::eof() || read < 0) return false;
  *value = read;
  return true;
}

std::string joined(const std::vector<std::string>& tokens) {
  std::string text;
  for (std::size_t i = 0; i < tokens.size(); ++i) text += (i ? " " : "") + tokens[i];
  return text;
}

std::string memberLine(const char* key, const std::string& value) {
  return std::string("\t\t\"") + key + "\":\t" + value + ",\n";
}

// Bare when "0" or a number whose leading integer is not 0, else a string.
std::string integerValue(const std::string& text) {
  if (solvarium::isJsonNumber(text) && (text == "0" || decimalValue(text) != 0)) return text;
  return solvarium::jsonQuote(text);
}

// Bare when a number other than 0.0, else a string.
std::string criterionValue(const std::string& word) {
  if (solvarium::isJsonNumber(word) && std::strtod(word.c_str(), nullptr) != 0.0) return word;
  return solvarium::jsonQuote(word);
}

std::string reportingOption(const std::string& text) {
  if (text == "#t") return "\"local scaling\"";
  if (text == "#f") return "\"global scaling\"";
  return solvarium::jsonQuote(text);
}

std::string criterionType(const std::string& text) {
  if (text == "0") return "\"absolute\"";
  switch (decimalValue(text)) {
    case 1: return "\"relative\"";
    case 2: return "\"relative or absolute\"";
    case 3: return "\"none\"";
    default: return solvarium::jsonQuote(text);
  }
}

bool contains(const std::vector<std::string>& names, const std::string& name) {
  for (const std::string& known : names) {
    if (known == name) return true;
  }
  return false;
}

// The entries of the residual settings: text directly inside each complete
// list of the second level.
std::vector<std::string> settingsEntries(const std::string& text) {
  std::vector<std::string> entries;
  std::string current;
  long depth = 0;
  for (char c : text) {
    if (c == '(') {
      if (++depth == 2) current.clear();
    } else if (c == ')') {
      if (depth == 2) entries.push_back(current);
      if (depth > 0) --depth;
    } else if (depth == 2) {
      current += c;
    }
  }
  return entries;
}

std::string settingsBlock(const std::string& text, const std::vector<std::string>& names) {
  std::string block = "\t\t\"settings\":\n\t\t{\n";
  bool firstEntry = true;
  for (const std::string& entry : settingsEntries(text)) {
    const std::vector<std::string_view> split = solvarium::splitWords(entry, kBlanks);
    const std::vector<std::string> words(split.begin(), split.end());
    if (words.empty() || !contains(names, words[0])) continue;
    block += std::string("\t\t\t") + (firstEntry ? "\"" : ",\"") +
             solvarium::jsonEscape(words[0]) + "\":\n\t\t\t{\n";
    firstEntry = false;
    bool firstMember = true;
    auto member = [&](std::size_t index, const char* key, const std::string& value) {
      if (index + 1 >= words.size()) return;
      block += std::string("\t\t\t\t") + (firstMember ? "" : ",") + "\"" + key + "\":" + value +
               "\n";
      firstMember = false;
    };
    member(0, "monitorActive", words.size() > 1 ? jsonBoolean(words[1]) : "");
    member(2, "checkConvergence", words.size() > 3 ? jsonBoolean(words[3]) : "");
    member(3, "absoluteCriteria", words.size() > 4 ? criterionValue(words[4]) : "");
    member(5, "relativeCriteria", words.size() > 6 ? criterionValue(words[6]) : "");
    block += "\t\t\t}\n";
  }
  return block + "\t\t},\n";
}

// An iteration number as an int: truncated, clamped to the int range, and 0
// for a value that is not a number.
int iterationNumber(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
  if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
  return static_cast<int>(value);
}

const std::vector<double>& historyOf(const TalvoState& state, const std::string& name) {
  static const std::vector<double> kNone;
  auto found = state.residualHistory.find(name);
  return found != state.residualHistory.end() ? found->second : kNone;
}

void writePersistedData(const TalvoState& state, const std::vector<std::string>& selected,
                        std::string* output) {
  const MonitorFilter& filter = state.monitorFilter;
  std::string& out = *output;
  out += "\t\t,\"persistedData\":\n\t\t{\n\t\t\t\"title\":\"Convergence Residuals\"\n";
  out += "\t\t\t,\"currentIterationNo\":" + filter.iterationText + "\n";
  out += "\t\t\t,\"header\":\n\t\t\t[\n\t\t\t\t\"Iteration\"\n";
  for (const std::string& name : selected) {
    out += "\t\t\t\t,\"" + solvarium::jsonEscape(name) + "\"\n";
  }
  out += "\t\t\t]\n";

  const std::vector<double>& iterations = historyOf(state, "iteration");
  std::size_t start = 0;
  bool rows = true;
  if (filter.iterationFilter) {
    while (start < iterations.size() &&
           !(iterations[start] >= static_cast<double>(filter.startIteration))) {
      ++start;
    }
    rows = start < iterations.size();
  }
  out += "\t\t\t,\"Iteration\":\n\t\t\t[\n";
  if (rows) {
    for (std::size_t i = start; i < iterations.size(); ++i) {
      out += std::string("\t\t\t\t") + (i == start ? "" : ",") +
             formatJsonInteger(state.monitorIntegerFormat, iterationNumber(iterations[i])) + "\n";
    }
  }
  out += "\t\t\t]\n";
  for (const std::string& name : selected) {
    out += "\t\t\t,\"" + solvarium::jsonEscape(name) + "\":\n\t\t\t[\n";
    const std::vector<double>& values = historyOf(state, name);
    if (rows) {
      for (std::size_t i = start; i < values.size(); ++i) {
        out += std::string("\t\t\t\t") + (i == start ? "" : ",") +
               (values[i] == 0.0 ? std::string("null")
                                 : formatJsonDouble(state.monitorDoubleFormat, values[i])) +
               "\n";
      }
    }
    out += "\t\t\t]\n";
  }
  out += "\t\t}\n";
}

enum class Rule { kFixed, kBoolean, kInteger, kScaling, kCriterion, kSettings };

struct ResidualMember {
  const char* variable;  // kFixed: the value written, always
  const char* key;
  Rule rule;
};

// The members of the residual monitor in the order written.
const ResidualMember kResidualMembers[] = {
    {"residuals/local?", "reportingOption", Rule::kScaling},
    {"residuals/compute-local?", "computeLocalScale", Rule::kBoolean},
    {"residuals/consistent-scaling?", "consistentScaling", Rule::kBoolean},
    {"residuals/convergence-criterion-type", "convergenceCriterionType", Rule::kCriterion},
    {"\"ResidualMonitor\"", "monitorType", Rule::kFixed},
    {"\"convergence-residuals\"", "name", Rule::kFixed},
    {"residuals/n-display", "nrDisplay", Rule::kInteger},
    {"residuals/n-maximize-norms", "nrMaximizeNorms", Rule::kInteger},
    {"residuals/n-save", "nrSave", Rule::kInteger},
    {"residuals/normalize?", "normalized", Rule::kBoolean},
    {"residuals/plot?", "plot", Rule::kBoolean},
    {"residuals/print?", "printToConsole", Rule::kBoolean},
    {"residuals/resid-buffer-interval", "residualsBufferInterval", Rule::kInteger},
    {"residuals/scale?", "scaled", Rule::kBoolean},
    {"residuals/settings", "settings", Rule::kSettings},
    {"residuals/unrelax?", "unrelaxed", Rule::kBoolean},
    {"residuals/window", "plottingWindowIndex", Rule::kInteger},
};

}  // namespace

void captureRunPosition(TalvoState* state) {
  state->monitorFilter.iterationText = std::to_string(state->currentIteration);
}

std::vector<std::string> readFilteredMonitorData(MonitorFilter* filter,
                                                 const std::vector<std::string>& tokens) {
  filter->reset();
  std::vector<std::string> rest;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const FilterOption* option = nullptr;
    for (const FilterOption& candidate : kFilterOptions) {
      if (tokens[i] == candidate.name) option = &candidate;
    }
    if (option == nullptr) {
      rest.push_back(tokens[i]);
      continue;
    }
    if (i + 1 >= tokens.size()) raiseGenericQuestion(option->prompt, "0", option->message);
    const std::string& value = tokens[++i];
    bool ok = false;
    if (option == &kFilterOptions[0]) {
      ok = readWhole(value, &filter->startFlowTime);
      filter->flowTimeFilter = filter->flowTimeFilter || ok;
    } else if (option == &kFilterOptions[1]) {
      ok = readWhole(value, &filter->startIteration);
      filter->iterationFilter = filter->iterationFilter || ok;
    } else {
      ok = readWhole(value, &filter->startTimeStep);
      filter->timeStepFilter = filter->timeStepFilter || ok;
    }
    if (!ok) raiseTalvoError(option->errorCommand, option->errorInfo);
  }
  return rest;
}

void listTalvoMonitors(TalvoState* state, std::string* output,
                       const std::vector<std::string>& tokens) {
  const std::string command = joined(tokens);
  std::vector<std::string> rest = tokens;
  bool persisted = false;
  if (!tokens.empty() && tokens[0] == "aaS.list_monitors_with_persisted_data") {
    persisted = true;
    captureRunPosition(state);
    rest = readFilteredMonitorData(&state->monitorFilter, tokens);
  } else if (tokens.empty() || tokens[0] != "aaS.list_monitors") {
    raiseTalvoError(command, "Invalid aaS.list_monitors command.");
  }
  if (rest.size() < 1 || rest.size() > 3 || (rest.size() > 1 && rest[1] != "residuals")) {
    raiseTalvoError(command, "Invalid aaS.list_monitors command.");
  }
  std::string text = "[\n";
  writeResidualMonitorJson(*state, &text, state->residualNames,
                           rest.size() == 3 ? rest[2] : std::string(), persisted);
  *output += text + "]\n";
}

void writeResidualMonitorJson(const TalvoState& state, std::string* output,
                              const std::vector<std::string>& names,
                              const std::string& residualName, bool persisted) {
  if (names.empty()) return;
  std::string text = "\t{\n";
  for (const ResidualMember& member : kResidualMembers) {
    if (member.rule == Rule::kFixed) {
      text += memberLine(member.key, member.variable);
      continue;
    }
    auto found = state.rpVariables.find(member.variable);
    if (found == state.rpVariables.end()) continue;
    const std::string& value = found->second;
    switch (member.rule) {
      case Rule::kFixed: break;
      case Rule::kBoolean: text += memberLine(member.key, jsonBoolean(value)); break;
      case Rule::kInteger: text += memberLine(member.key, integerValue(value)); break;
      case Rule::kScaling: text += memberLine(member.key, reportingOption(value)); break;
      case Rule::kCriterion: text += memberLine(member.key, criterionType(value)); break;
      case Rule::kSettings: text += settingsBlock(value, names); break;
    }
  }
  std::string nameArray = "[";
  for (std::size_t i = 0; i < names.size(); ++i) {
    nameArray += (i ? "," : "") + solvarium::jsonQuote(names[i]);
  }
  text += memberLine("residualNames", nameArray + "]");
  text += "\t\t\"xAxisUnit\":\t\"Iteration\"\n";
  if (!residualName.empty() && !contains(names, residualName)) {
    raiseTalvoError("Display Residual Monitor Info",
                    "Invalid residual monitor[" + residualName + "]");
  }
  if (persisted) {
    std::vector<std::string> selected;
    if (residualName.empty()) {
      selected = names;
    } else {
      selected.push_back(residualName);
    }
    writePersistedData(state, selected, &text);
  }
  *output += text + "\t}\n";
}

}  // namespace TALVO
