// Monitor CSV conversion. Properties: a parsed table has one value per name
// in every row; every JSON writer gives valid JSON for any program output
// and any location text; a value is written as valid JSON on its own.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/brox/brox_monitor_csv.h"
#include "tests/fuzz/fuzz_check.h"

using solvarium_fuzz::check;
using solvarium_fuzz::checkJson;

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
  writer.begin();
  if (result == BROX::MonitorParse::kOk) {
    check(!table.names.empty(), "table without names", output);
    for (const auto& row : table.rows) {
      check(row.size() == table.names.size(), "row length differs from the names", output);
      for (const std::string& value : row) checkJson(BROX::monitorValueJson(value), "value");
    }
    writer.add(BROX::persistedDataMonitorJson(where, table, false));
    writer.add(BROX::persistedDataMonitorJson(where, table, true));
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
  return 0;
}
