#include "solvers/grend/grend_gst_handler.h"

#include <ACEXML/common/Attributes.h>

#include <cstdio>
#include <utility>

#include "solvers/grend/grend_start_filter.h"

namespace GREND {

namespace {

bool isWhite(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The word of `text` in [begin, end) as a value: one final '.' dropped.
std::string_view valueAt(const std::string& text, std::size_t begin, std::size_t end) {
  std::string_view value(text.data() + begin, end - begin);
  if (value.back() == '.') value.remove_suffix(1);
  return value;
}

// The later stretch continues the earlier one.
bool continues(const GstRecord& a, const GstRecord& b) {
  if (a.units != b.units || a.xAxis != b.xAxis || a.yAxis != b.yAxis) return false;
  if (a.names.empty() || a.names != b.names) return false;
  if (a.columnSize(0) == 0 || b.columnSize(0) == 0) return false;
  return leadingDouble(a.lastValue(0)) < leadingDouble(b.firstX);
}

// Index of the last column named `name`; -1 when none.
long columnNamed(const GstRecord& record, const char* name) {
  long found = -1;
  for (std::size_t k = 0; k < record.names.size(); ++k) {
    if (record.names[k] == name) found = static_cast<long>(k);
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

  bool active() const { return filter_.active(); }
  long first() const { return first_; }
  long second() const { return second_; }

  // A row from the values of its filter columns (null where the row does not
  // reach the column): a row that a filter column does not reach is dropped.
  bool keeps(const std::string_view* a, const std::string_view* b) const {
    if (!filter_.active()) return true;
    if (a == nullptr) return false;
    if (!filter_.readsSubStep()) return filter_.passes(*a);
    return b != nullptr && filter_.passes(*a, *b);
  }

 private:
  StartFilter filter_;
  long first_ = -1;
  long second_ = -1;
};

// Finds the words of the record's text once: row offsets, the first value,
// the last value of each column and the rows that `filter` keeps.
void dealRows(GstRecord* record, const GstFilter& filter) {
  const std::string& text = record->text;
  const std::size_t n = record->names.size();
  record->lastAt.assign(2 * n, 0);
  std::string_view a, b;
  bool haveA = false, haveB = false;
  std::size_t i = 0;
  std::size_t at = 0;
  const std::size_t size = text.size();
  for (;;) {
    while (at < size && isWhite(text[at])) ++at;
    if (at == size) break;
    std::size_t end = at;
    while (end < size && !isWhite(text[end])) ++end;
    const std::size_t column = i % n;
    if (column == 0) record->rows.push_back(static_cast<uint32_t>(at));
    const std::string_view value = valueAt(text, at, end);
    if (i == 0) record->firstX = std::string(value);
    record->lastAt[2 * column] = static_cast<uint32_t>(at);
    record->lastAt[2 * column + 1] = static_cast<uint32_t>(value.size());
    if (filter.active()) {
      if (static_cast<long>(column) == filter.first()) a = value, haveA = true;
      if (static_cast<long>(column) == filter.second()) b = value, haveB = true;
      if (column + 1 == n) {
        record->kept.push_back(filter.keeps(haveA ? &a : nullptr, haveB ? &b : nullptr));
        haveA = haveB = false;
      }
    }
    ++i;
    at = end;
  }
  record->words = i;
  if (filter.active() && i % n != 0) {
    record->kept.push_back(filter.keeps(haveA ? &a : nullptr, haveB ? &b : nullptr));
  }
}

}  // namespace

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
  record.names = denseNames(columnNames);
  if (!record.names.empty()) record.xAxis = record.names[0];
  for (std::size_t k = 1; k < record.names.size(); ++k) record.yAxis.push_back(record.names[k]);
  if (!record.names.empty()) {
    record.text.swap(colDataText);
    dealRows(&record, GstFilter(filterArgs, record));
  }
  // A stretch without COLDATA text of its own has no values.
  colDataText.clear();
  records.push_back(std::move(record));
}

void CXmlToJsonGstHandler::endDocument() { ended_ = true; }

bool CXmlToJsonGstHandler::appendTo(std::string* out) {
  if (!ended_) return false;
  // One reservation for the whole object: "\t\t\t," and "\n" around each
  // value, a little more for values written as strings.
  std::size_t bytes = json.size() + 64;
  for (const GstRecord& record : records) {
    bytes += record.text.size() + 7 * record.words + 256;
    for (const std::string& name : record.names) bytes += 3 * name.size() + 64;
  }
  out->reserve(out->size() + bytes);
  *out += json;
  bool merge = !records.empty();
  for (std::size_t i = 0; merge && i + 1 < records.size(); ++i) {
    merge = continues(records[i], records[i + 1]);
  }
  if (merge) {
    // Continuing stretches are written as one.
    std::vector<GstRecord*> parts;
    for (GstRecord& record : records) parts.push_back(&record);
    appendPersistedData(out, -1, parts);
  } else {
    for (std::size_t i = 0; i < records.size(); ++i) {
      appendPersistedData(out, static_cast<int>(i), {&records[i]});
    }
  }
  *out += "}";
  records.clear();
  return true;
}

void CXmlToJsonGstHandler::appendPersistedData(std::string* json, int number,
                                               const std::vector<GstRecord*>& parts) {
  const GstRecord& record = *parts.front();
  std::string& out = *json;
  if (number < 0) {
    out += "\t,\"persistedData\":\n\t{\n";
  } else {
    char head[64];
    std::snprintf(head, sizeof head, "\t,\"persistedData_%04d\":\n\t{\n", number);
    out += head;
  }
  out += "\t\t\"units\":";
  appendQuotedText(&out, record.units);
  out += "\n";
  for (std::size_t k = 0; k < record.names.size(); ++k) {
    // The last value of the column over every part.
    for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
      if ((*part)->columnSize(k) == 0) continue;
      out += "\t\t,";
      appendQuotedText(&out, currentKey(record.names[k]));
      out += ":";
      appendBareValue(&out, (*part)->lastValue(k));
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
  // Column by column: each row's cursor moves on by one word per column.
  for (std::size_t k = 0; k < record.names.size(); ++k) {
    out += "\t\t,";
    appendQuotedText(&out, record.names[k]);
    out += ":\n\t\t[\n";
    bool first = true;
    for (GstRecord* part : parts) {
      const std::string& text = part->text;
      const std::size_t rows = part->columnSize(k);
      for (std::size_t r = 0; r < rows; ++r) {
        std::size_t at = part->rows[r];
        while (at < text.size() && isWhite(text[at])) ++at;
        std::size_t end = at;
        while (end < text.size() && !isWhite(text[end])) ++end;
        part->rows[r] = static_cast<uint32_t>(end);
        if (!part->kept.empty() && !part->kept[r]) continue;
        out += first ? "\t\t\t" : "\t\t\t,";
        first = false;
        appendBareValue(&out, valueAt(text, at, end));
        out += "\n";
      }
    }
    out += "\t\t]\n";
  }
  out += "\t}\n";
}

}  // namespace GREND
