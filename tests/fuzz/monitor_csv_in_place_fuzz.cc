// The monitor CSV read in place (MonitorCsvData, the service's path for the
// persisted data) against the parsed table: the same parse result, names and
// row count, and byte-identical JSON; writeArrays writes exactly
// arraysSize() bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "solvers/brox/brox_monitor_csv.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  const std::string output(reinterpret_cast<const char*>(bytes), size);
  BROX::MonitorTable table;
  BROX::MonitorCsvData data;
  const BROX::MonitorParse result = BROX::parseMonitorTable(output, &table);
  if (data.parse(output) != result) std::abort();
  if (result != BROX::MonitorParse::kOk) return 0;
  if (data.names() != table.names || data.rows() != table.rows.size()) std::abort();

  // A guard byte behind the arrays must stay untouched.
  std::string arrays(data.arraysSize() + 1, '\x5a');
  data.writeArrays(&arrays[0]);
  if (arrays.back() != '\x5a') std::abort();

  BROX::MonitorLocation where;
  where.location = "run.dir";
  for (bool dataOnly : {false, true}) {
    if (BROX::persistedDataMonitorJson(where, data, dataOnly) !=
        BROX::persistedDataMonitorJson(where, table, dataOnly)) {
      std::abort();
    }
  }
  return 0;
}
