// The monitor CSV read in place (MonitorCsvData, the service's path for the
// persisted data) against the parsed table: the same parse result, names and
// row count, and byte-identical, valid JSON; writeArrays writes exactly
// arraysSize() bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/brox/brox_monitor_csv.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/monitor_json.h"

using solvarium_fuzz::check;
using solvarium_fuzz::checkJson;
using solvarium_test::persistedDataMonitorJson;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, std::size_t size) {
  const std::string output(reinterpret_cast<const char*>(bytes), size);
  BROX::MonitorTable table;
  BROX::MonitorCsvData data;
  const BROX::MonitorParse result = BROX::parseMonitorTable(output, &table);
  check(data.parse(output) == result, "parse results differ", output);
  if (result != BROX::MonitorParse::kOk) return 0;
  check(data.names() == table.names && data.rows() == table.rows.size(), "tables differ", output);

  // A guard byte behind the arrays must stay untouched.
  std::string arrays(data.arraysSize() + 1, '\x5a');
  data.writeArrays(&arrays[0]);
  check(arrays.back() == '\x5a', "arrays overran their size", output);

  BROX::MonitorLocation where;
  where.location = "run.dir";
  for (bool dataOnly : {false, true}) {
    const std::string json = persistedDataMonitorJson(where, output, dataOnly);
    check(json == persistedDataMonitorJson(where, table, dataOnly), "JSON differs", output);
    checkJson("[\n" + json + "]\n", "in-place monitor");
  }
  return 0;
}
