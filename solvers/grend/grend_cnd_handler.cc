#include "solvers/grend/grend_cnd_handler.h"

#include <ACEXML/common/Attributes.h>

#include <utility>

#include "common/text_words.h"

namespace GREND {

bool CndRecordEquals(const CndRecord& a, const CndRecord& b) {
  if (a.values.size() != b.values.size() || a.columnCount != b.columnCount) return false;
  if (a.columnCount == 0) return true;
  const std::size_t rows = a.values.size() / a.columnCount;
  for (std::size_t p = 0; p < rows; ++p) {
    if (a.values[p * a.columnCount] != b.values[p * a.columnCount]) return false;
  }
  return true;
}

void CXmlToJsonCndHandler::startDocument() { writeHead(".cnd", "Contact ND data"); }

void CXmlToJsonCndHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                        const ACEXML_Char* qName, ACEXML_Attributes* atts) {
  clearText();
  if (isElement(qName, "SOLUTION")) {
    inSolution = true;
    return;
  }
  if (!inSolution) return;
  const std::size_t count = atts != nullptr ? atts->getLength() : 0;
  if (isElement(qName, "HEADER")) {
    inHeader = true;
  } else if (isElement(qName, "COLDATA")) {
    inColData = true;
    current_ = CndRecord();
    for (std::size_t i = 0; i < count; ++i) {
      const ACEXML_Char* name = atts->getQName(i);
      const ACEXML_Char* value = atts->getValue(i);
      const std::string text = value != nullptr ? value : "";
      if (isElement(name, "LOAD_STEP")) current_.loadStep = text;
      if (isElement(name, "SUBSTEP")) current_.subStep = text;
      if (isElement(name, "ITERATION")) current_.iteration = text;
      if (isElement(name, "TIME")) current_.time = text;
    }
  } else if (inHeader && isElement(qName, "COLUMN")) {
    for (std::size_t i = 0; i < count; ++i) {
      if (!isElement(atts->getQName(i), "ID")) continue;
      currentColumnId = columnKey(atts->getValue(i));
      inColumn = currentColumnId >= 0;
      break;
    }
  } else if (inHeader && isElement(qName, "UNITS")) {
    inUnits = true;
  }
}

void CXmlToJsonCndHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                      const ACEXML_Char* qName) {
  std::string text = takeText();
  if (isElement(qName, "SOLUTION")) {
    inSolution = false;
  } else if (isElement(qName, "COLDATA")) {
    // Only a block whose start was counted completes a record.
    if (!inColData) return;
    inColData = false;
    current_.columnCount = denseNames(columnNames).size();
    for (std::string_view word : solvarium::splitWords(text, kWhiteSpace)) current_.values.emplace_back(word);
    records.push_back(std::move(current_));
    current_ = CndRecord();
  } else if (isElement(qName, "HEADER")) {
    inHeader = false;
  } else if (isElement(qName, "COLUMN")) {
    if (inColumn && !text.empty()) columnNames[currentColumnId] = std::move(text);
    inColumn = false;
    currentColumnId = -1;
  } else if (isElement(qName, "UNITS")) {
    if (inUnits && !text.empty()) units = std::move(text);
    inUnits = false;
  }
}

void CXmlToJsonCndHandler::endDocument() {
  bool agree = !records.empty() && !columnNames.empty();
  for (std::size_t i = 0; agree && i + 1 < records.size(); ++i) {
    agree = CndRecordEquals(records[i], records[i + 1]);
  }
  if (agree) json += writePersistedData();
  json += "}";
}

std::string CXmlToJsonCndHandler::writePersistedData() const {
  const std::vector<std::string> names = denseNames(columnNames);
  const std::size_t n = names.size();
  const CndRecord& first = records.front();
  const std::size_t pairs = first.values.size() / n;
  std::string out = "\t,\"persistedData\":\n\t{\n\t\t\"units\":";
  appendQuotedText(&out, units);
  out += "\n\t\t,\"currentLOADSTEP\":";
  appendQuotedText(&out, records.back().loadStep);
  out += "\n\t\t,\"currentTIME\":";
  appendQuotedText(&out, records.back().time);
  out +=
      "\n\t\t,\"xAxis\":\n\t\t[\n\t\t\t \"LOAD_STEP\"\n\t\t\t,\"SUBSTEP\"\n\t\t\t,\"ITERATION\"\n"
      "\t\t\t,\"TIME\"\n\t\t]\n\t\t,\"yAxis\":\n\t\t[\n";
  for (std::size_t i = 0; i < n; ++i) {
    out += i > 0 ? "\t\t\t," : "\t\t\t";
    appendQuotedText(&out, names[i]);
    out += "\n";
  }
  out += "\t\t]\n\t\t,\"ContactPairIds\":[";
  for (std::size_t p = 0; p < pairs; ++p) {
    if (p > 0) out += ",";
    appendQuotedText(&out, first.values[p * n]);
  }
  out += "]\n";
  const std::pair<const char*, std::string CndRecord::*> steps[] = {
      {"LOAD_STEP", &CndRecord::loadStep},
      {"SUBSTEP", &CndRecord::subStep},
      {"ITERATION", &CndRecord::iteration},
      {"TIME", &CndRecord::time}};
  for (const auto& step : steps) {
    out += "\t\t,\"";
    out += step.first;
    out += "\":[";
    for (std::size_t k = 0; k < records.size(); ++k) {
      if (k > 0) out += ",";
      appendBareValue(&out, trimNumber(records[k].*step.second));
    }
    out += "]\n";
  }
  for (std::size_t c = 1; c < n; ++c) {
    out += "\t\t,";
    appendQuotedText(&out, names[c]);
    out += ":\n\t\t{\n";
    for (std::size_t p = 0; p < pairs; ++p) {
      out += p > 0 ? "\t\t\t," : "\t\t\t";
      appendQuotedText(&out, first.values[p * n]);
      out += ":[";
      for (std::size_t k = 0; k < records.size(); ++k) {
        if (k > 0) out += ",";
        const std::size_t index = p * n + c;
        if (index < records[k].values.size()) {
          appendBareValue(&out, trimNumber(records[k].values[index]));
        } else {
          out += "null";
        }
      }
      out += "]\n";
    }
    out += "\t\t}\n";
  }
  out += "\t}\n";
  return out;
}

}  // namespace GREND
