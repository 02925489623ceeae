// The Talvo settings walk with its three property handlers: every settings
// text gives a valid JSON document.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/talvo/talvo_report_definitions.h"
#include "solvers/talvo/talvo_report_lists.h"
#include "tests/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TALVO::TalvoState state;
  state.zoneNames[1] = "wall\"\\";
  state.surfaceNames[2] = "in\nlet";
  state.rpVariables["time-step"] = "1e";
  state.currentIteration = 3;
  const std::string text(reinterpret_cast<const char*>(data), size);
  state.plotSetSettings = state.monitorSetSettings = state.reportDefinitionSettings = text;
  std::string outputs[3];
  TALVO::writeReportPlotJson(state, &outputs[0]);
  TALVO::writeReportFileJson(state, &outputs[1], false, 0, 0);
  TALVO::writeReportDefinitionJson(state, &outputs[2]);
  for (const std::string& output : outputs) solvarium_fuzz::checkJson(output, "settings listing");
  return 0;
}
