#include "solvers/talvo/talvo_report_lists.h"

#include "common/json_text.h"
#include "common/text_words.h"
#include "solvers/talvo/talvo_report_file_reader.h"
#include "solvers/talvo/talvo_settings_walk.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

namespace {

std::string wordList(const std::string& value) {
  std::string text = "[";
  const std::vector<std::string_view> words = solvarium::splitWords(value, kBlanks);
  for (std::size_t i = 0; i < words.size(); ++i) {
    text += (i ? "," : "") + solvarium::jsonQuote(words[i]);
  }
  return text + "]";
}

// Bare when it is a number whose leading integer is 1 or more, or exactly
// "0"; otherwise a string.
std::string plotWindow(const std::string& value) {
  if (solvarium::isJsonNumber(value) && (value == "0" || decimalValue(value) >= 1)) return value;
  return solvarium::jsonQuote(value);
}

// The properties both lists write the same way; false for other keys.
bool writeCommonProperty(SettingsWalk& walk, const std::string& key) {
  std::string member;
  if (key == "frequency") {
    member = "\"frequency\":" + jsonNumberOrString(walk.readBalancedValue());
  } else if (key == "frequency-of") {
    member = "\"frequencyOf\":" + solvarium::jsonQuote(walk.readBalancedValue());
  } else if (key == "report-defs") {
    member = "\"reportDefinitions\":" + wordList(walk.readBalancedValue());
  } else if (key == "print?") {
    member = "\"print\":" + jsonBoolean(walk.readBalancedValue());
  } else {
    return false;
  }
  walk.beginMember();
  walk.write(member);
  walk.trailer(",");
  return true;
}

// "old-props": read and dropped, blanks after it skipped, no separator.
PropertyResult dropProperty(SettingsWalk& walk) {
  walk.readBalancedValue();
  walk.skipBlanks();
  return PropertyResult::kNothing;
}

// Any other key: the member keeps the solver's key; the value is a string.
PropertyResult stringProperty(SettingsWalk& walk, const std::string& jsonKey) {
  const std::string value = walk.readBalancedValue();
  walk.beginMember();
  walk.write(solvarium::jsonQuote(jsonKey) + ":" + solvarium::jsonQuote(value));
  walk.trailer(",");
  return PropertyResult::kMember;
}

PropertyResult nameProperty(SettingsWalk& walk, const char* prefix) {
  const std::string name = walk.readCompactValue();
  walk.beginMember();
  walk.write(std::string(prefix) + "\"name\":" + solvarium::jsonQuote(name));
  walk.trailer(",");
  return PropertyResult::kMember;
}

}  // namespace

void writeReportFileJson(const TalvoState& state, std::string* output, bool persisted,
                         int32_t startIteration, int32_t startTimeStep) {
  const ReportFilePosition position = reportFilePosition(state, startIteration, startTimeStep);
  *output += walkSettings(state.monitorSetSettings, [&](SettingsWalk& walk) {
    const std::string key = walk.readKey();
    if (key == "name") return nameProperty(walk, "\"monitorType\":\"R17ReportFile\",\n\t\t");
    if (key == "old-props") return dropProperty(walk);
    if (key == "file-name") {
      const std::string fileName = walk.readBalancedValue();
      std::string data;
      if (persisted && position.currentIteration >= 1) data = readReportFile(fileName, position);
      std::string member = "\"fileName\":" + solvarium::jsonQuote(fileName);
      member += ",\n\t\t\"currentIterationNo\":" + std::to_string(position.currentIteration);
      if (position.hasTimeStep) {
        member += ",\n\t\t\"currentTimeStep\":" + jsonNumberOrString(position.timeStep);
      }
      if (!data.empty()) member += ",\n\t\t\"persistedData\":\n" + data + "\n";
      walk.beginMember();
      walk.write(member);
      walk.trailer("\t\t,");
      return PropertyResult::kMember;
    }
    if (writeCommonProperty(walk, key)) return PropertyResult::kMember;
    return stringProperty(walk, key);
  });
}

void writeReportPlotJson(const TalvoState& state, std::string* output) {
  *output += walkSettings(state.plotSetSettings, [](SettingsWalk& walk) {
    const std::string key = walk.readKey();
    if (key == "name") return nameProperty(walk, "");
    if (key == "old-props") return dropProperty(walk);
    if (writeCommonProperty(walk, key)) return PropertyResult::kMember;
    if (key == "plot-window") {
      const std::string value = walk.readBalancedValue();
      walk.beginMember();
      walk.write("\"plotWindow\":" + plotWindow(value));
      walk.trailer(",");
      return PropertyResult::kMember;
    }
    if (key == "file-name") return stringProperty(walk, "fileName");
    if (key == "title") return stringProperty(walk, "title");
    if (key == "x-label") return stringProperty(walk, "xLabel");
    if (key == "y-label") return stringProperty(walk, "yLabel");
    return stringProperty(walk, key);
  });
}

}  // namespace TALVO
