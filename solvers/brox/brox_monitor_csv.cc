#include "solvers/brox/brox_monitor_csv.h"

#include <set>

#include "common/json_text.h"

namespace BROX {

using solvarium::jsonQuote;

const char* const kMoreValuesText =
    "Unexpected format for monitor information (more values than variables)";
const char* const kLessValuesText =
    "Unexpected format for monitor information (less values than variables)";

std::vector<std::string> splitOutputLines(const std::string& text) {
  std::vector<std::string> lines;
  std::string::size_type start = 0;
  while (start < text.size()) {
    std::string::size_type stop = text.find_first_of("\r\n", start);
    if (stop == std::string::npos) stop = text.size();
    if (stop > start) lines.push_back(text.substr(start, stop - start));
    start = stop + 1;
  }
  return lines;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string trimBlanks(const std::string& text) {
  std::string::size_type first = 0, last = text.size();
  while (first < last && isBlank(text[first])) ++first;
  while (last > first && isBlank(text[last - 1])) --last;
  return text.substr(first, last - first);
}

std::vector<std::string> splitAtCommas(const std::string& line) {
  std::vector<std::string> pieces;
  std::string::size_type start = 0;
  for (;;) {
    const std::string::size_type comma = line.find(',', start);
    if (comma == std::string::npos) {
      pieces.push_back(line.substr(start));
      return pieces;
    }
    pieces.push_back(line.substr(start, comma - start));
    start = comma + 1;
  }
}

}  // namespace

std::vector<std::string> parseHeaderNames(const std::string& line) {
  std::vector<std::string> names;
  std::string::size_type i = 0;
  const std::string::size_type n = line.size();
  while (i < n) {
    while (i < n && isBlank(line[i])) ++i;
    std::string name;
    if (i < n && line[i] == '"') {
      ++i;
      while (i < n) {
        if (line[i] == '"') {
          if (i + 1 < n && line[i + 1] == '"') {
            name += '"';
            i += 2;
            continue;
          }
          ++i;  // closing quote
          break;
        }
        name += line[i++];
      }
      // Anything between the closing quote and the next comma is ignored.
      const std::string::size_type comma = line.find(',', i);
      i = comma == std::string::npos ? n : comma + 1;
    } else {
      const std::string::size_type comma = line.find(',', i);
      const std::string::size_type stop = comma == std::string::npos ? n : comma;
      name = trimBlanks(line.substr(i, stop - i));
      i = comma == std::string::npos ? n : comma + 1;
    }
    names.push_back(name);
  }
  return names;
}

MonitorParse parseMonitorTable(const std::string& output, MonitorTable* table) {
  table->names.clear();
  table->rows.clear();
  const std::vector<std::string> lines = splitOutputLines(output);
  if (lines.empty()) return MonitorParse::kNoData;
  table->names = parseHeaderNames(lines[0]);
  if (table->names.empty()) return MonitorParse::kNoData;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::vector<std::string> values = splitAtCommas(lines[i]);
    if (values.size() > table->names.size()) return MonitorParse::kMoreValues;
    if (values.size() < table->names.size()) return MonitorParse::kLessValues;
    table->rows.push_back(std::move(values));
  }
  return MonitorParse::kOk;
}

void MonitorArrayWriter::add(const std::string& monitorObject) {
  if (!first_) *out_ += "\t,";
  first_ = false;
  *out_ += monitorObject;
}

std::string monitorValueJson(const std::string& value) {
  if (value.empty()) return "null";
  // Blanks around a number are JSON white space: the value stays as it stands.
  if (solvarium::isJsonNumber(trimBlanks(value))) return value;
  return jsonQuote(value);
}

void appendRunHeader(std::string& out, const MonitorLocation& where) {
  out += where.saved ? "\t\t\"monitorType\":\t\"SavedMonitor\"\n"
                     : "\t\t\"monitorType\":\t\"DirectoryMonitor\"\n";
  out += "\t\t,\n";
  out += std::string(where.saved ? "\t\t\"monitorFile\":\t" : "\t\t\"monitorDir\":\t") +
         jsonQuote(where.location) + "\n";
  if (!where.multiConfig) return;
  out += "\t\t,\n";
  out += "\t\t\"multiConfigName\":\t" + jsonQuote(where.multiConfigName) + "\n";
  out += "\t\t,\n";
  out += "\t\t\"multiConfigIndex\":\t" + std::to_string(where.multiConfigIndex) + "\n";
}

namespace {

// The run's header members and the separator after them.
void writeHeaderMembers(const MonitorLocation& where, std::string* out) {
  appendRunHeader(*out, where);
  *out += "\t\t,\n";
}

// "\t\t[\n", one line per item (indented by three tabs, "\t\t\t,\n" between
// them), "\t\t]\n".
void writeItemList(const std::vector<std::string>& items, std::string* out) {
  *out += "\t\t[\n";
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i > 0) *out += "\t\t\t,\n";
    *out += "\t\t\t" + items[i] + "\n";
  }
  *out += "\t\t]\n";
}

bool columnIsEmpty(const MonitorTable& table, std::size_t column) {
  for (const auto& row : table.rows)
    if (!row[column].empty()) return false;
  return true;
}

}  // namespace

std::string persistedDataMonitorJson(const MonitorLocation& where, const MonitorTable& table,
                                     bool dataOnly) {
  std::string out = "\t{\n";
  if (!dataOnly) writeHeaderMembers(where, &out);
  out += "\t\t\"monitorRecords\": " + std::to_string(table.rows.size()) + "\n";

  std::vector<bool> empty(table.names.size());
  for (std::size_t c = 0; c < table.names.size(); ++c) empty[c] = columnIsEmpty(table, c);

  if (!dataOnly) {
    out += "\t\t,\n";
    out += "\t\t\"xAxis\":\t" + jsonQuote(table.names.empty() ? "" : table.names[0]) + "\n";
    out += "\t\t,\n";
    out += "\t\t\"yAxis\":\n";
    std::vector<std::string> yAxis;
    for (std::size_t c = 1; c < table.names.size(); ++c)
      if (!empty[c]) yAxis.push_back(jsonQuote(table.names[c]));
    writeItemList(yAxis, &out);
  }

  // One data array per name: a repeated name keeps its first non-empty column.
  std::set<std::string> written;
  for (std::size_t c = 0; c < table.names.size(); ++c) {
    if (empty[c] || !written.insert(table.names[c]).second) continue;
    out += "\t\t,\n";
    out += "\t\t" + jsonQuote(table.names[c]) + ":\n";
    std::vector<std::string> values;
    values.reserve(table.rows.size());
    for (const auto& row : table.rows) values.push_back(monitorValueJson(row[c]));
    writeItemList(values, &out);
  }
  out += "\t}\n";
  return out;
}

std::string lastValuesMonitorJson(const MonitorLocation& where, const MonitorTable& table) {
  std::string out = "\t{\n";
  writeHeaderMembers(where, &out);
  out += "\t\t\"monitorRecords\": " + std::to_string(table.rows.size()) + "\n";
  out += "\t\t,\n";
  out += "\t\t\"lastValues\":\n";
  out += "\t\t{\n";
  if (!table.rows.empty()) {
    const auto& row = table.rows.front();
    std::set<std::string> written;
    bool first = true;
    for (std::size_t c = 0; c < table.names.size(); ++c) {
      if (row[c].empty() || !written.insert(table.names[c]).second) continue;
      if (!first) out += "\t\t\t,\n";
      first = false;
      out += "\t\t\t" + jsonQuote(table.names[c]) + ":\t" + monitorValueJson(row[c]) + "\n";
    }
  }
  out += "\t\t}\n";
  out += "\t}\n";
  return out;
}

std::string monitorNamesJson(const MonitorLocation& where, const std::vector<std::string>& names) {
  std::string out = "\t{\n";
  writeHeaderMembers(where, &out);
  out += "\t\t\"xAxis\":\t" + jsonQuote(names.empty() ? "" : names[0]) + "\n";
  out += "\t\t,\n";
  out += "\t\t\"yAxis\":\n";
  std::vector<std::string> yAxis;
  for (std::size_t i = 1; i < names.size(); ++i) yAxis.push_back(jsonQuote(names[i]));
  writeItemList(yAxis, &out);
  out += "\t}\n";
  return out;
}

}  // namespace BROX
