// The Talvo report-file parser: any file content gives either no persisted
// data or a valid JSON object. The first bytes choose the run's position.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/talvo/talvo_report_file_reader.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  TALVO::ReportFilePosition position;
  position.currentIteration = static_cast<int8_t>(data[0]);
  position.startIteration = static_cast<int8_t>(data[1]);
  position.startTimeStep = data[2] & 0x0f;
  position.hasTimeStep = (data[2] & 0x10) != 0;
  position.timeStep = (data[2] & 0x20) ? "4" : "x";
  const std::string content(reinterpret_cast<const char*>(data + 3), size - 3);
  const std::string persisted = TALVO::parseReportFile(content, position);
  if (!persisted.empty()) solvarium_fuzz::checkJson(persisted, "persisted data");
  return 0;
}
