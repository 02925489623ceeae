#include "solvers/brox/brox_will.h"

#include <cstdio>

#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

const char* const kMonitorSaveFile = "monitor.json";

std::string tickOneMinute(int32_t* tickMinutes, int32_t autoSavePeriodMinutes,
                          const CommandRunner& run) {
  // ">=": a period shortened below the current count still saves.
  if (++*tickMinutes < autoSavePeriodMinutes) return std::string();
  *tickMinutes = 0;
  try {
    run(std::string("aaS.save_report_plots_with_persisted_data ") + kMonitorSaveFile);
  } catch (...) {
    std::printf("Auto-save of %s failed: %s\n", kMonitorSaveFile, currentFailureText().c_str());
  }
  return std::string();
}

}  // namespace BROX
