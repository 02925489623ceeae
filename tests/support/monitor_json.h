// Whole persisted-data monitor objects for the monitor CSV tests: one written
// plainly from a parsed table (the reference), one from an output read in
// place and put together as the Brox monitor commands do.
#ifndef SOLVARIUM_TESTS_SUPPORT_MONITOR_JSON_H_
#define SOLVARIUM_TESTS_SUPPORT_MONITOR_JSON_H_

#include <set>
#include <string>
#include <vector>

#include "common/json_text.h"
#include "solvers/brox/brox_monitor_csv.h"

namespace solvarium_test {

// One data array per name: a repeated name keeps its first non-empty column.
inline std::string persistedDataMonitorJson(const BROX::MonitorLocation& where,
                                            const BROX::MonitorTable& table, bool dataOnly) {
  std::vector<bool> hasValue(table.names.size(), false);
  for (const auto& row : table.rows) {
    for (std::size_t c = 0; c < row.size(); ++c) hasValue[c] = hasValue[c] || !row[c].empty();
  }
  std::string out =
      BROX::persistedDataHead(where, table.names, table.rows.size(), hasValue, dataOnly);
  std::set<std::string> written;
  for (std::size_t c = 0; c < table.names.size(); ++c) {
    if (!hasValue[c] || !written.insert(table.names[c]).second) continue;
    out += "\t\t,\n\t\t" + solvarium::jsonQuote(table.names[c]) + ":\n\t\t[\n";
    for (std::size_t r = 0; r < table.rows.size(); ++r) {
      out += (r == 0 ? "\t\t\t" : "\t\t\t,\n\t\t\t") + BROX::monitorValueJson(table.rows[r][c]);
      out += '\n';
    }
    out += "\t\t]\n";
  }
  return out + BROX::kMonitorObjectEnd;
}

// From `output` read in place; "" when it does not parse.
inline std::string persistedDataMonitorJson(const BROX::MonitorLocation& where,
                                            const std::string& output, bool dataOnly) {
  BROX::MonitorCsvData data;
  if (data.parse(output) != BROX::MonitorParse::kOk) return "";
  std::string out = BROX::persistedDataHead(where, data, dataOnly);
  const std::size_t head = out.size();
  out.resize(head + data.arraysSize());
  data.writeArrays(&out[head]);
  return out + BROX::kMonitorObjectEnd;
}

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_MONITOR_JSON_H_
