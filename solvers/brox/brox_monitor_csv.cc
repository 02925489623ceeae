#include "solvers/brox/brox_monitor_csv.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "common/json_text.h"
#include "common/text_words.h"

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

const char kBlanks[] = " \t";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

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
      name = solvarium::trimChars(std::string_view(line).substr(i, stop - i), kBlanks);
      i = comma == std::string::npos ? n : comma + 1;
    }
    names.push_back(name);
  }
  return names;
}

namespace {

bool isLineBreak(char c) { return c == '\n' || c == '\r'; }

// The header line of `text`, its first line that is not empty: [*begin,
// *end). False when there is none.
bool findHeaderLine(const std::string& text, std::size_t* begin, std::size_t* end) {
  std::size_t at = 0;
  while (at < text.size() && isLineBreak(text[at])) ++at;
  if (at == text.size()) return false;
  *begin = at;
  *end = std::min(text.find_first_of("\r\n", at), text.size());
  return true;
}

// Walks the data lines of `text` from `at` (empty lines skipped): calls
// cell(column, begin, size) for every value, row after row, and endRow()
// after each line. Stops at the first line with more or fewer values than
// `columns` (the values of that line before the error have been passed).
template <typename Cell, typename EndRow>
MonitorParse walkDataLines(const std::string& text, std::size_t at, std::size_t columns,
                           Cell&& cell, EndRow&& endRow) {
  const char* const bytes = text.data();
  const std::size_t size = text.size();
  for (;;) {
    while (at < size && isLineBreak(bytes[at])) ++at;
    if (at == size) return MonitorParse::kOk;
    std::size_t column = 0;
    for (;;) {
      const std::size_t begin = at;
      while (at < size && bytes[at] != ',' && !isLineBreak(bytes[at])) ++at;
      if (column == columns) return MonitorParse::kMoreValues;
      cell(column++, bytes + begin, at - begin);
      if (at == size || bytes[at] != ',') break;
      ++at;
    }
    if (column < columns) return MonitorParse::kLessValues;
    endRow();
  }
}

enum class ValueForm { kNull, kBare, kQuoted };

// How monitorValueJson writes a value.
ValueForm valueForm(const char* value, std::size_t size) {
  if (size == 0) return ValueForm::kNull;
  std::string_view text(value, size);
  // Blanks around a number are JSON white space: the value stays as it stands.
  if (isBlank(value[0]) || isBlank(value[size - 1])) text = solvarium::trimChars(text, kBlanks);
  return solvarium::isJsonNumber(text) ? ValueForm::kBare : ValueForm::kQuoted;
}

std::size_t valueJsonSize(ValueForm form, const char* value, std::size_t size) {
  switch (form) {
    case ValueForm::kNull: return 4;
    case ValueForm::kBare: return size;
    case ValueForm::kQuoted: break;
  }
  return solvarium::jsonQuotedSize(std::string_view(value, size));
}

char* writeValueJson(char* out, ValueForm form, const char* value, std::size_t size) {
  switch (form) {
    case ValueForm::kNull: return put(out, "null");
    case ValueForm::kBare: std::memcpy(out, value, size); return out + size;
    case ValueForm::kQuoted: break;
  }
  return solvarium::writeJsonQuoted(out, std::string_view(value, size));
}

}  // namespace

MonitorParse parseMonitorTable(const std::string& output, MonitorTable* table) {
  table->names.clear();
  table->rows.clear();
  std::size_t begin = 0, end = 0;
  if (!findHeaderLine(output, &begin, &end)) return MonitorParse::kNoData;
  table->names = parseHeaderNames(output.substr(begin, end - begin));
  if (table->names.empty()) return MonitorParse::kNoData;
  std::vector<std::string> row;
  return walkDataLines(
      output, end, table->names.size(),
      [&row](std::size_t, const char* value, std::size_t size) { row.emplace_back(value, size); },
      [&] {
        table->rows.push_back(std::move(row));
        row.clear();
      });
}

MonitorParse MonitorCsvData::parse(const std::string& output) {
  output_ = &output;
  names_.clear();
  columns_.clear();
  rows_ = 0;
  arraysSize_ = 0;
  std::size_t begin = 0;
  if (!findHeaderLine(output, &begin, &dataBegin_)) return MonitorParse::kNoData;
  names_ = parseHeaderNames(output.substr(begin, dataBegin_ - begin));
  if (names_.empty()) return MonitorParse::kNoData;
  columns_.resize(names_.size());
  const MonitorParse result = walkDataLines(
      output, dataBegin_, names_.size(),
      [this](std::size_t column, const char* value, std::size_t size) {
        Column& c = columns_[column];
        const ValueForm form = valueForm(value, size);
        c.valueBytes += valueJsonSize(form, value, size);
        c.hasValue = c.hasValue || size > 0;
        c.quoted = c.quoted || form == ValueForm::kQuoted;
      },
      [this] { ++rows_; });
  if (result != MonitorParse::kOk) return result;

  // One array per name: a repeated name keeps its first column with a value.
  // Each holds "\t\t,\n\t\t" + name + ":\n\t\t[\n", then "\t\t\t" + value + "\n"
  // per row with "\t\t\t,\n" between rows, then "\t\t]\n".
  std::set<std::string> taken;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Column& c = columns_[i];
    c.written = c.hasValue && taken.insert(names_[i]).second;
    if (!c.written) continue;
    c.arrayOffset = arraysSize_;
    arraysSize_ += 12 + solvarium::jsonQuotedSize(names_[i]) +
                   c.valueBytes + 4 * rows_ + 5 * (rows_ - 1) + 4;
  }
  return MonitorParse::kOk;
}

void MonitorCsvData::writeArrays(char* out) const {
  std::vector<char*> cursor(columns_.size(), nullptr);  // null: no array
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (!columns_[i].written) continue;
    char* at = put(out + columns_[i].arrayOffset, "\t\t,\n\t\t");
    at = solvarium::writeJsonQuoted(at, names_[i]);
    cursor[i] = put(at, ":\n\t\t[\n");
  }
  // Row after row, each value goes to the end of its column's array.
  bool firstRow = true;
  walkDataLines(
      *output_, dataBegin_, columns_.size(),
      [&](std::size_t column, const char* value, std::size_t size) {
        char* at = cursor[column];
        if (at == nullptr) return;
        if (!firstRow) at = put(at, "\t\t\t,\n");
        // Without a quoted value in its column, a value is null or bare.
        const ValueForm form = columns_[column].quoted ? valueForm(value, size)
                               : size == 0             ? ValueForm::kNull
                                                       : ValueForm::kBare;
        at = writeValueJson(put(at, "\t\t\t"), form, value, size);
        *at++ = '\n';
        cursor[column] = at;
      },
      [&firstRow] { firstRow = false; });
  for (char* at : cursor) {
    if (at != nullptr) put(at, "\t\t]\n");
  }
}

void MonitorArrayWriter::add(const std::string& monitorObject) {
  if (!first_) *out_ += "\t,";
  first_ = false;
  *out_ += monitorObject;
}

std::string monitorValueJson(const std::string& value) {
  const ValueForm form = valueForm(value.data(), value.size());
  std::string out(valueJsonSize(form, value.data(), value.size()), '\0');
  writeValueJson(&out[0], form, value.data(), value.size());
  return out;
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

}  // namespace

const char* const kMonitorObjectEnd = "\t}\n";

std::string persistedDataHead(const MonitorLocation& where, const std::vector<std::string>& names,
                              std::size_t rows, const std::vector<bool>& hasValue, bool dataOnly) {
  std::string out = "\t{\n";
  if (!dataOnly) writeHeaderMembers(where, &out);
  out += "\t\t\"monitorRecords\": " + std::to_string(rows) + "\n";
  if (!dataOnly) {
    out += "\t\t,\n";
    out += "\t\t\"xAxis\":\t" + jsonQuote(names.empty() ? "" : names[0]) + "\n";
    out += "\t\t,\n";
    out += "\t\t\"yAxis\":\n";
    std::vector<std::string> yAxis;
    for (std::size_t c = 1; c < names.size(); ++c)
      if (hasValue[c]) yAxis.push_back(jsonQuote(names[c]));
    writeItemList(yAxis, &out);
  }
  return out;
}

std::string persistedDataHead(const MonitorLocation& where, const MonitorCsvData& data,
                              bool dataOnly) {
  std::vector<bool> hasValue(data.names().size());
  for (std::size_t c = 0; c < hasValue.size(); ++c) hasValue[c] = data.hasValue(c);
  return persistedDataHead(where, data.names(), data.rows(), hasValue, dataOnly);
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
