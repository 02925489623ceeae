#include "solvers/talvo/talvo_report_definitions.h"

#include <map>
#include <vector>

#include "common/json_text.h"
#include "common/text_words.h"
#include "solvers/talvo/talvo_settings_walk.h"
#include "solvers/talvo/talvo_text.h"

namespace TALVO {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// "[ a , b ]": each item followed by " ", ", " before all but the first.
std::string bracketList(const std::vector<std::string>& items) {
  std::string text = "[ ";
  for (std::size_t i = 0; i < items.size(); ++i) text += (i ? ", " : "") + items[i] + " ";
  return text + "]";
}

std::string idList(const std::string& value) {
  std::vector<std::string> items;
  for (std::string_view id : solvarium::splitWords(value, kBlanks)) {
    items.push_back(jsonNumberOrString(std::string(id)));
  }
  return bracketList(items);
}

std::string nameList(const std::string& value, const std::map<int32_t, std::string>& names) {
  std::vector<std::string> items;
  for (std::string_view id : solvarium::splitWords(value, kBlanks)) {
    auto found = names.find(decimalValue(std::string(id)));
    items.push_back(solvarium::jsonQuote(found != names.end() ? found->second : std::string()));
  }
  return bracketList(items);
}

// The type word and the key/value pairs of a report definition's text.
std::map<std::string, std::string> definitionProperties(const std::string& nested) {
  std::map<std::string, std::string> properties;
  std::size_t i = 0;
  while (i < nested.size() && isBlank(nested[i])) ++i;
  std::size_t typeEnd = i;
  while (typeEnd < nested.size() && !isBlank(nested[typeEnd])) ++typeEnd;
  properties["type"] = nested.substr(i, typeEnd - i);
  i = typeEnd;
  for (;;) {
    while (i < nested.size() && isBlank(nested[i])) ++i;
    if (i >= nested.size() || nested[i] != '(') break;
    ++i;
    while (i < nested.size() && isBlank(nested[i])) ++i;
    std::string key;
    while (i < nested.size() && !isBlank(nested[i]) && nested[i] != ')') key += nested[i++];
    std::string value;
    long counter = 0;
    while (i < nested.size()) {
      const char c = nested[i++];
      if (c == ')' && ++counter == 1) break;
      if (c == '(') --counter;
      value += c;
    }
    if (key != "old-props") properties[key] = SettingsWalk::cleanValue(value);
  }
  return properties;
}

std::string definitionBlock(const std::string& nested, const TalvoState& state) {
  std::string block = "\t\t{\n";
  bool first = true;
  for (const auto& property : definitionProperties(nested)) {
    const std::string& key = property.first;
    const std::string& value = property.second;
    std::string jsonKey = key;
    std::string jsonValue;
    std::string extra;
    if (key == "average-over") {
      jsonKey = "averageOver";
      jsonValue = jsonNumberOrString(value);
    } else if (key == "field" || key == "phase") {
      jsonValue = solvarium::jsonQuote(value);
    } else if (key == "report-type") {
      jsonKey = "reportType";
      jsonValue = solvarium::jsonQuote(value);
    } else if (key == "per-zone?") {
      jsonKey = "perZone";
      jsonValue = jsonBoolean(value);
    } else if (key == "per-surface?") {
      jsonKey = "perSurface";
      jsonValue = jsonBoolean(value);
    } else if (key == "zone-list") {
      jsonKey = "zoneList";
      jsonValue = idList(value);
      extra = "\t\t\t,\"zoneNames\":" + nameList(value, state.zoneNames) + "\n";
    } else if (key == "surface-ids") {
      jsonKey = "surfaceIds";
      jsonValue = idList(value);
      extra = "\t\t\t,\"surfaceNames\":" + nameList(value, state.surfaceNames) + "\n";
    } else {
      jsonValue = jsonBoolean(value);
    }
    block += std::string("\t\t\t") + (first ? "" : ",") + solvarium::jsonQuote(jsonKey) + ":" +
             jsonValue + "\n" + extra;
    first = false;
  }
  return block + "\t\t}\n";
}

}  // namespace

void writeReportDefinitionJson(const TalvoState& state, std::string* output) {
  *output += walkSettings(state.reportDefinitionSettings, [&state](SettingsWalk& walk) {
    walk.beginMember();
    const std::string key = walk.readKey();
    if (key == "name") {
      const std::string name = walk.readCompactValue();
      walk.write("\"monitorType\":\"R17ReportDefinition\",\n\t\t\"name\":" +
                 solvarium::jsonQuote(name));
      walk.trailer(",");
      return PropertyResult::kMember;
    }
    if (key == "report-definition") {
      const std::string nested = walk.readBalancedValue(false);
      walk.write("\"reportDefinition\":\n" + definitionBlock(nested, state));
      walk.trailer(",");
      return PropertyResult::kMember;
    }
    std::string open = solvarium::jsonQuote(key) + ":\"";
    if (walk.keyEnd() != '\0') open += solvarium::jsonEscape(std::string(1, walk.keyEnd()));
    walk.write(open);
    return PropertyResult::kOpenString;
  });
}

}  // namespace TALVO
