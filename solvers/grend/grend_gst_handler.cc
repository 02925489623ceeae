#include "solvers/grend/grend_gst_handler.h"

#include <ACEXML/common/Attributes.h>

#include <algorithm>
#include <cstdio>
#include <utility>

#include "solvers/grend/grend_start_filter.h"

namespace GREND {

namespace {

// The later stretch continues the earlier one.
bool continues(const GstRecord& a, const GstRecord& b) {
  if (a.units != b.units || a.xAxis != b.xAxis || a.yAxis != b.yAxis) return false;
  if (a.columns.size() != b.columns.size() || a.columns.empty()) return false;
  for (std::size_t k = 0; k < a.columns.size(); ++k) {
    if (a.columns[k].name != b.columns[k].name) return false;
  }
  const ValueList& x0 = a.columns[0].values;
  const ValueList& x1 = b.columns[0].values;
  if (x0.empty() || x1.empty()) return false;
  return leadingDouble(x0.back()) < leadingDouble(x1[0]);
}

// Index of the last column named `name`; -1 when none.
long columnNamed(const GstRecord& record, const char* name) {
  long found = -1;
  for (std::size_t k = 0; k < record.columns.size(); ++k) {
    if (record.columns[k].name == name) found = static_cast<long>(k);
  }
  return found;
}

// Which rows of a stretch the filter words keep. The filter columns are
// found by name in `record` (the stretches written together share names).
class GstFilter {
 public:
  GstFilter(const std::vector<std::string>& args, const GstRecord& record) {
    if (args.size() == 2 && args[0] == "start_time") {
      first_ = columnNamed(record, "Time");
      if (first_ >= 0) filter_ = StartFilter::atLeast(leadingDouble(args[1]));
    } else if (args.size() == 3 && args[0] == "start_load_step_sub_step") {
      first_ = columnNamed(record, "Load Step");
      second_ = columnNamed(record, "Sub-step");
      if (first_ >= 0 && second_ >= 0) {
        filter_ = StartFilter::fromLoadStep(leadingInteger(args[1]), leadingInteger(args[2]));
      }
    } else if (args.size() == 2 && args[0] == "start_cum_iter") {
      first_ = columnNamed(record, "Cum Iter");
      const double start = leadingDouble(args[1]);
      if (first_ >= 0 && start != -1) filter_ = StartFilter::atLeast(start);
    }
  }

  // Row r of `part`; a row that a filter column does not reach is dropped.
  bool keeps(const GstRecord& part, std::size_t r) const {
    if (!filter_.active()) return true;
    const ValueList& a = part.columns[static_cast<std::size_t>(first_)].values;
    if (r >= a.size()) return false;
    if (!filter_.readsSubStep()) return filter_.passes(a[r]);
    const ValueList& b = part.columns[static_cast<std::size_t>(second_)].values;
    return r < b.size() && filter_.passes(a[r], b[r]);
  }

 private:
  StartFilter filter_;
  long first_ = -1;
  long second_ = -1;
};

std::size_t rowCount(const GstRecord& record) {
  std::size_t rows = 0;
  for (const MonitorColumn& column : record.columns) rows = std::max(rows, column.values.size());
  return rows;
}

}  // namespace

CXmlToJsonGstHandler::CXmlToJsonGstHandler(std::string baseName, std::vector<std::string> filter)
    : GrendXmlHandler(std::move(baseName), std::move(filter)) {}

void CXmlToJsonGstHandler::startDocument() {
  writeHead(".gst", "Graphical Solution Tracking data");
}

void CXmlToJsonGstHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                        const ACEXML_Char* qName, ACEXML_Attributes* atts) {
  clearText();
  if (isElement(qName, "SOLUTION")) inSolution = true;
  if (isElement(qName, "LOADSTEPDATA") && inSolution) inLoadStepData = true;
  if (!inLoadStepData) return;
  if (isElement(qName, "HEADER")) inHeader = true;
  if (isElement(qName, "COLDATA")) {
    inColData = true;
    colDataText.clear();
  }
  if (!inHeader) return;
  if (isElement(qName, "COLUMN") && atts != nullptr) {
    for (std::size_t i = 0; i < atts->getLength(); ++i) {
      if (!isElement(atts->getQName(i), "ID")) continue;
      currentColumnId = columnKey(atts->getValue(i));
      inColumn = currentColumnId >= 0;
      break;
    }
  }
  if (isElement(qName, "UNITS")) inUnits = true;
}

void CXmlToJsonGstHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                      const ACEXML_Char* qName) {
  std::string text = takeText();
  if (!text.empty()) {
    if (inColumn && isElement(qName, "COLUMN")) columnNames[currentColumnId] = text;
    if (inUnits && isElement(qName, "UNITS")) units = text;
    if (inColData && isElement(qName, "COLDATA")) colDataText = std::move(text);
  }
  if (isElement(qName, "SOLUTION")) inSolution = false;
  if (isElement(qName, "LOADSTEPDATA")) {
    inLoadStepData = false;
    buildRecord();
  }
  if (isElement(qName, "HEADER")) inHeader = false;
  if (isElement(qName, "COLUMN")) {
    inColumn = false;
    currentColumnId = -1;
  }
  if (isElement(qName, "UNITS")) inUnits = false;
  if (isElement(qName, "COLDATA")) inColData = false;
}

void CXmlToJsonGstHandler::buildRecord() {
  GstRecord record;
  record.units = units;
  const std::vector<std::string> names = denseNames(columnNames);
  if (!names.empty()) record.xAxis = names[0];
  for (std::size_t k = 1; k < names.size(); ++k) record.yAxis.push_back(names[k]);
  record.columns = dealValues(names, colDataText, true);
  // A stretch without COLDATA text of its own has no values.
  colDataText.clear();
  records.push_back(std::move(record));
}

void CXmlToJsonGstHandler::endDocument() {
  bool merge = !records.empty();
  for (std::size_t i = 0; merge && i + 1 < records.size(); ++i) {
    merge = continues(records[i], records[i + 1]);
  }
  if (merge) {
    // Continuing stretches are written as one, without copying their values.
    std::vector<const GstRecord*> parts;
    for (const GstRecord& record : records) parts.push_back(&record);
    appendPersistedData(&json, -1, parts);
  } else {
    for (std::size_t i = 0; i < records.size(); ++i) {
      appendPersistedData(&json, static_cast<int>(i), {&records[i]});
    }
  }
  json += "}";
}

void CXmlToJsonGstHandler::appendPersistedData(std::string* json, int number,
                                               const std::vector<const GstRecord*>& parts) const {
  const GstRecord& record = *parts.front();
  std::string& out = *json;
  if (number < 0) {
    out += "\t,\"persistedData\":\n\t{\n";
  } else {
    char head[64];
    std::snprintf(head, sizeof head, "\t,\"persistedData_%04d\":\n\t{\n", number);
    out += head;
  }
  std::size_t bytes = 0;
  for (const GstRecord* part : parts) {
    for (const MonitorColumn& column : part->columns) {
      bytes += column.values.bytes() + column.values.size() * 6;
    }
  }
  out.reserve(out.size() + bytes + 256);
  out += "\t\t\"units\":";
  appendQuotedText(&out, record.units);
  out += "\n";
  for (std::size_t k = 0; k < record.columns.size(); ++k) {
    // The last value of the column over every part.
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
      const ValueList& values = (*part)->columns[k].values;
      if (values.empty()) continue;
      out += "\t\t,";
      appendQuotedText(&out, currentKey(record.columns[k].name));
      out += ":";
      appendBareValue(&out, values.back());
      out += "\n";
      break;
    }
  }
  out += "\t\t,\"xAxis\":";
  appendQuotedText(&out, record.xAxis);
  out += "\n\t\t,\"yAxis\":\n\t\t[\n";
  for (std::size_t i = 0; i < record.yAxis.size(); ++i) {
    out += i > 0 ? "\t\t\t," : "\t\t\t";
    appendQuotedText(&out, record.yAxis[i]);
    out += "\n";
  }
  out += "\t\t]\n";
  const GstFilter filter(filterArgs, record);
  std::vector<std::vector<bool>> kept;
  for (const GstRecord* part : parts) {
    kept.emplace_back(rowCount(*part));
    for (std::size_t r = 0; r < kept.back().size(); ++r) kept.back()[r] = filter.keeps(*part, r);
  }
  for (std::size_t k = 0; k < record.columns.size(); ++k) {
    out += "\t\t,";
    appendQuotedText(&out, record.columns[k].name);
    out += ":\n\t\t[\n";
    bool first = true;
    for (std::size_t p = 0; p < parts.size(); ++p) {
      const ValueList& values = parts[p]->columns[k].values;
      for (std::size_t r = 0; r < values.size(); ++r) {
        if (!kept[p][r]) continue;
        out += first ? "\t\t\t" : "\t\t\t,";
        first = false;
        appendBareValue(&out, values[r]);
        out += "\n";
      }
    }
    out += "\t\t]\n";
  }
  out += "\t}\n";
}

}  // namespace GREND
