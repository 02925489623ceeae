#include "solvers/grend/grend_nlh_handler.h"

#include <ACEXML/common/Attributes.h>

#include <utility>

#include "common/text_words.h"

namespace GREND {

namespace {

std::string at(const ColumnTable& table, std::size_t k) {
  auto it = table.find(static_cast<int32_t>(k));
  return it == table.end() ? std::string() : it->second;
}

// Both first columns are "Time" with values, and the earlier table ends
// before the later one starts.
bool CompareNlhBlocksByTime(const NlhRecord& earlier, const NlhRecord& later) {
  if (earlier.columns.empty() || later.columns.empty()) return false;
  const MonitorColumn& a = earlier.columns[0];
  const MonitorColumn& b = later.columns[0];
  if (a.name != "Time" || b.name != "Time" || a.values.empty() || b.values.empty()) return false;
  return leadingDouble(a.values.back()) < leadingDouble(b.values[0]);
}

}  // namespace

void CXmlToJsonNlhHandler::startDocument() { writeHead(".nlh", "NLH data"); }

void CXmlToJsonNlhHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                        const ACEXML_Char* qName, ACEXML_Attributes* atts) {
  clearText();
  if (isElement(qName, "SOLUTION")) inSolution = true;
  if (!inSolution) return;
  if (isElement(qName, "HEADER")) inHeader = true;
  if (isElement(qName, "COLDATA")) inColData = true;
  if (!inHeader) return;
  if (isElement(qName, "COLUMN")) {
    inColumn = false;
    currentColumnId = -1;
    contactPair.clear();
    item.clear();
    comp.clear();
    const std::size_t count = atts != nullptr ? atts->getLength() : 0;
    for (std::size_t i = 0; i < count; ++i) {
      const ACEXML_Char* name = atts->getQName(i);
      const ACEXML_Char* value = atts->getValue(i);
      const std::string_view text = value != nullptr ? value : "";
      if (isElement(name, "ID")) {
        currentColumnId = columnKey(value);
        inColumn = currentColumnId >= 0;
      } else if (isElement(name, "CONTACT_PAIR")) {
        contactPair = std::string(trimNumber(text));
      } else if (isElement(name, "ITEM")) {
        item = std::string(text);
      } else if (isElement(name, "COMP")) {
        comp = std::string(text);
      }
    }
  }
}

void CXmlToJsonNlhHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                      const ACEXML_Char* qName) {
  std::string text = takeText();
  if (!text.empty()) {
    if (inColumn && currentColumnId >= 0 && isElement(qName, "COLUMN")) {
      columnNames[currentColumnId] = std::string(solvarium::trimChars(text, kBlanks));
      contactPairs[currentColumnId] = contactPair;
      items[currentColumnId] = item;
      comps[currentColumnId] = comp;
    }
  }
  if (isElement(qName, "SOLUTION")) inSolution = false;
  if (isElement(qName, "COLDATA")) {
    if (!inColData) text.clear();
    inColData = false;
    NlhRecord record;
    record.columns = dealValues(denseNames(columnNames), text, false);
    records.push_back(std::move(record));
  }
  if (isElement(qName, "HEADER")) inHeader = false;
  if (isElement(qName, "COLUMN")) {
    inColumn = false;
    currentColumnId = -1;
  }
}

void CXmlToJsonNlhHandler::endDocument() {
  bool series = !records.empty() && !columnNames.empty();
  for (std::size_t i = 1; series && i < records.size(); ++i) {
    series = CompareNlhBlocksByTime(records[i - 1], records[i]);
  }
  if (series) json += writePersistedData();
  json += "}";
}

std::string CXmlToJsonNlhHandler::writePersistedData() const {
  const std::vector<std::string> names = denseNames(columnNames);
  std::string out = "\t,\"persistedData\":\n\t{\n\t\t";
  const NlhRecord& last = records.back();
  appendQuotedText(&out, "current" + names[0]);
  out += ":";
  const bool hasTime = !last.columns.empty() && !last.columns[0].values.empty();
  appendQuotedText(&out, hasTime ? last.columns[0].values.back() : std::string_view());
  out += "\n\t\t,\"xAxis\":\n\t\t[\n\t\t\t";
  appendQuotedText(&out, names[0]);
  out += "\n\t\t]\n\t\t,\"yAxis\":\n\t\t[\n";
  for (std::size_t k = 1; k < names.size(); ++k) {
    out += k > 1 ? "\t\t\t," : "\t\t\t";
    appendQuotedText(&out, names[k]);
    out += "\n";
  }
  out += "\t\t]\n\t\t,\"yAxisProperties\":\n\t\t{\n";
  for (std::size_t k = 1; k < names.size(); ++k) {
    out += k > 1 ? "\t\t\t," : "\t\t\t";
    appendQuotedText(&out, names[k]);
    out += ":\n\t\t\t{\n\t\t\t\t \"CONTACT_PAIR\":";
    appendQuotedText(&out, at(contactPairs, k));
    out += "\n\t\t\t\t,\"ITEM\"        :";
    appendQuotedText(&out, at(items, k));
    out += "\n\t\t\t\t,\"COMP\"        :";
    appendQuotedText(&out, at(comps, k));
    out += "\n\t\t\t}\n";
  }
  out += "\t\t}\n";
  for (std::size_t k = 0; k < names.size(); ++k) {
    out += "\t\t,";
    appendQuotedText(&out, names[k]);
    out += ":[";
    bool first = true;
    for (const NlhRecord& record : records) {
      if (k >= record.columns.size()) continue;
      const ValueList& values = record.columns[k].values;
      for (std::size_t v = 0; v < values.size(); ++v) {
        if (!first) out += ",";
        first = false;
        appendBareValue(&out, trimNumber(values[v]));
      }
    }
    out += "]\n";
  }
  out += "\t}\n";
  return out;
}

}  // namespace GREND
