// Monitor CSV conversion. Properties: a parsed table has one value per name
// in every row; every JSON writer gives valid JSON for any program output
// and any location text; a value is written as valid JSON on its own. Over
// an output written by the rule below from the fuzz bytes, the table and
// every JSON writer give back what was written: the names in their order,
// the row count, and each value (null when empty, the number itself when it
// is one, else the text).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "solvers/brox/brox_monitor_csv.h"
#include "tests/fuzz/content_check.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/monitor_json.h"

using solvarium_fuzz::check;
using solvarium_fuzz::checkJson;
using solvarium_fuzz::JsonValue;
using solvarium_test::persistedDataMonitorJson;

namespace {

struct Value {
  enum Kind { kEmpty, kNumber, kText } kind = kEmpty;
  std::string text;  // as written
};

struct CsvOutput {
  std::string text;
  std::vector<std::string> names;
  std::vector<std::vector<Value>> rows;
};

// The rule: a header line of double-quoted names ("" for a quote inside),
// blanks around each allowed, separated by commas; then one line per row,
// values separated by commas. Lines end in LF, CR or both; empty lines do
// not count. Values hold no comma and no line end; a line holds something.
CsvOutput writeCsv(solvarium_fuzz::ByteSource& bytes) {
  static const char* const kNameParts[] = {"Time",        "x",  "a\"b", "c,d", " ",
                                           "caf\xc3\xa9", "\\", "y/z",  "\t",  "''"};
  static const char* const kBlanks[] = {"", "", " ", "\t "};
  static const char* const kEnds[] = {"\n", "\r\n", "\r", "\n\n", "\r\r\n"};
  static const char* const kNumbers[] = {"0", "-1.5e+3", "12", "0.25", "-0", "3E7", "1e-2"};
  static const char* const kPadding[] = {"", "", " ", "\t"};
  // None of these is a JSON number.
  static const char* const kTexts[] = {"abc", "1.", "+2", "n/a",  "a\"b", "\\t", "caf\xc3\xa9",
                                       " ",   ".5", "1e", "0x1F", "-",    "NaN"};
  CsvOutput out;
  if (bytes.flip()) out.text += bytes.pick(kEnds);
  const std::size_t columns = 1 + bytes.below(4);
  for (std::size_t c = 0; c < columns; ++c) {
    std::string name;
    for (std::size_t n = bytes.below(3); n > 0; --n) name += bytes.pick(kNameParts);
    name += std::to_string(c);  // names differ
    out.names.push_back(name);
    std::string quoted;
    for (char ch : name) quoted += ch == '"' ? "\"\"" : std::string(1, ch);
    out.text += std::string(c > 0 ? "," : "") + bytes.pick(kBlanks) + "\"" + quoted + "\"" +
                bytes.pick(kBlanks);
  }
  out.rows.resize(bytes.below(5));
  for (auto& row : out.rows) {
    out.text += bytes.pick(kEnds);
    for (std::size_t c = 0; c < columns; ++c) {
      Value value;
      // A line of one empty value would be an empty line.
      switch (columns == 1 ? 1 + bytes.below(2) : bytes.below(3)) {
        case 0: break;
        case 1:
          value.kind = Value::kNumber;
          value.text = bytes.pick(kPadding);
          value.text += std::string(bytes.pick(kNumbers)) + bytes.pick(kPadding);
          break;
        default: value.kind = Value::kText; value.text = bytes.pick(kTexts);
      }
      out.text += (c > 0 ? "," : "") + value.text;
      row.push_back(value);
    }
  }
  if (bytes.flip()) out.text += bytes.pick(kEnds);
  return out;
}

std::string trimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool sameValue(const JsonValue& json, const Value& value) {
  switch (value.kind) {
    case Value::kEmpty: return json.kind == JsonValue::kNull;
    case Value::kNumber:
      return json.kind == JsonValue::kNumber && json.text == trimBlanks(value.text);
    case Value::kText: break;
  }
  return json.kind == JsonValue::kString && json.text == value.text;
}

bool hasValue(const CsvOutput& out, std::size_t column) {
  for (const auto& row : out.rows) {
    if (row[column].kind != Value::kEmpty) return true;
  }
  return false;
}

// The persisted-data object: the run's members unless `dataOnly`, the row
// count, the axes unless `dataOnly` (a y axis only for a column with a
// value), then one array per column with a value.
void checkPersistedData(const std::string& object, const CsvOutput& out,
                        const BROX::MonitorLocation& where, bool dataOnly) {
  const std::string detail = out.text + "\n----\n" + object;
  checkJson(object, "persisted data of a written output");
  const JsonValue json = solvarium_fuzz::readJson(object);
  const auto& members = json.members;
  std::size_t m = 0;
  auto member = [&](const std::string& name) -> const JsonValue& {
    check(m < members.size() && members[m].first == name, "member " + name, detail);
    return members[m++].second;
  };
  if (!dataOnly) {
    member("monitorType");
    check(member(where.saved ? "monitorFile" : "monitorDir").text == where.location, "location",
          detail);
  }
  check(member("monitorRecords").text == std::to_string(out.rows.size()), "row count", detail);
  if (!dataOnly) {
    check(member("xAxis").text == out.names[0], "x axis", detail);
    const JsonValue& yAxis = member("yAxis");
    std::size_t y = 0;
    for (std::size_t c = 1; c < out.names.size(); ++c) {
      if (!hasValue(out, c)) continue;
      check(y < yAxis.items.size() && yAxis.items[y++].text == out.names[c], "y axis", detail);
    }
    check(y == yAxis.items.size(), "y axis count", detail);
  }
  for (std::size_t c = 0; c < out.names.size(); ++c) {
    if (!hasValue(out, c)) continue;
    const JsonValue& array = member(out.names[c]);
    check(array.items.size() == out.rows.size(), "array length", detail);
    for (std::size_t r = 0; r < out.rows.size(); ++r) {
      check(sameValue(array.items[r], out.rows[r][c]), "value", detail);
    }
  }
  check(m == members.size(), "member count", detail);
}

void checkContent(const uint8_t* data, std::size_t size) {
  solvarium_fuzz::ByteSource bytes(data, size);
  const CsvOutput out = writeCsv(bytes);
  BROX::MonitorLocation where;
  where.location = "run \"1\"\\dir";
  where.saved = bytes.flip();

  BROX::MonitorTable table;
  check(BROX::parseMonitorTable(out.text, &table) == BROX::MonitorParse::kOk, "not parsed",
        out.text);
  check(table.names == out.names, "names differ", out.text);
  check(table.rows.size() == out.rows.size(), "row count differs", out.text);
  for (std::size_t r = 0; r < out.rows.size(); ++r) {
    check(table.rows[r].size() == out.names.size(), "row length differs", out.text);
    for (std::size_t c = 0; c < out.names.size(); ++c) {
      check(table.rows[r][c] == out.rows[r][c].text, "value differs", out.text);
    }
  }
  BROX::MonitorCsvData inPlace;
  check(inPlace.parse(out.text) == BROX::MonitorParse::kOk, "not parsed in place", out.text);
  for (bool dataOnly : {false, true}) {
    checkPersistedData(persistedDataMonitorJson(where, table, dataOnly), out, where,
                       dataOnly);
    checkPersistedData(persistedDataMonitorJson(where, out.text, dataOnly), out, where,
                       dataOnly);
  }

  // The last-values object: the first row's non-empty values.
  const std::string last = BROX::lastValuesMonitorJson(where, table);
  checkJson(last, "last values of a written output");
  const JsonValue lastJson = solvarium_fuzz::readJson(last);
  const JsonValue& values = lastJson.members.back().second;
  check(lastJson.members.back().first == "lastValues", "no last values", last);
  std::size_t v = 0;
  for (std::size_t c = 0; !out.rows.empty() && c < out.names.size(); ++c) {
    if (out.rows[0][c].kind == Value::kEmpty) continue;
    check(v < values.members.size() && values.members[v].first == out.names[c] &&
              sameValue(values.members[v].second, out.rows[0][c]),
          "last value", out.text + "\n----\n" + last);
    ++v;
  }
  check(v == values.members.size(), "last value count", out.text + "\n----\n" + last);

  // The names object.
  const JsonValue names = solvarium_fuzz::readJson(BROX::monitorNamesJson(where, table.names));
  const JsonValue& yAxis = names.members.back().second;
  check(yAxis.items.size() + 1 == out.names.size(), "name count", out.text);
  for (std::size_t c = 1; c < out.names.size(); ++c) {
    check(yAxis.items[c - 1].text == out.names[c], "name differs", out.text);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // First line: the run's location and multi-configuration name; the rest:
  // the program's output.
  const std::size_t cut = input.find('\n');
  BROX::MonitorLocation where;
  where.location = input.substr(0, cut == std::string::npos ? 0 : cut);
  const std::string output = cut == std::string::npos ? input : input.substr(cut + 1);
  where.saved = size % 2 == 0;
  where.multiConfig = size % 3 == 0;
  where.multiConfigName = where.location;
  where.multiConfigIndex = static_cast<int32_t>(size);

  for (const std::string& line : BROX::splitOutputLines(output)) {
    check(!line.empty() && line.find_first_of("\r\n") == std::string::npos, "bad line", line);
  }

  BROX::MonitorTable table;
  const BROX::MonitorParse result = BROX::parseMonitorTable(output, &table);
  std::string array;
  BROX::MonitorArrayWriter writer(&array);
  if (result == BROX::MonitorParse::kOk) {
    check(!table.names.empty(), "table without names", output);
    for (const auto& row : table.rows) {
      check(row.size() == table.names.size(), "row length differs from the names", output);
      for (const std::string& value : row) checkJson(BROX::monitorValueJson(value), "value");
    }
    writer.add(persistedDataMonitorJson(where, table, false));
    writer.add(persistedDataMonitorJson(where, table, true));
    writer.add(BROX::lastValuesMonitorJson(where, table));
  }
  const auto lines = BROX::splitOutputLines(output);
  if (!lines.empty()) {
    writer.add(BROX::monitorNamesJson(where, lines));
    const auto header = BROX::parseHeaderNames(lines[0]);
    if (!header.empty()) writer.add(BROX::monitorNamesJson(where, header));
  }
  writer.end();
  checkJson(array, "monitor listing");
  checkContent(data, size);
  return 0;
}
