// The minute tick of the Brox kind and the monitor auto-save it starts.
//
// The will commands themselves ("aaS.set"/"aaS.get implicit_will_amends",
// the will update, "aaS.retrieve_will_metadata",
// "aaS.save_report_plots_with_persisted_data", the auto-save period) are
// part of BroxInterpreter. Called only from the ORB's request thread.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_

#include <cstdint>
#include <functional>
#include <string>

namespace BROX {

// Runs one complete command text and returns its answer; exceptions of the
// command pass through.
typedef std::function<std::string(const std::string& command)> CommandRunner;

// File the monitors are saved to at the minute tick and at shutdown.
extern const char* const kMonitorSaveFile;  // "monitor.json"

// "aaS_internal.tic_one_minute": counts one minute in `tickMinutes`; when it
// reaches `autoSavePeriodMinutes` the count restarts at 0 and
// "aaS.save_report_plots_with_persisted_data monitor.json" is run through
// `run`. A failing save is reported on stdout, never raised: the previous
// file stays as it was. The answer is empty.
std::string tickOneMinute(int32_t* tickMinutes, int32_t autoSavePeriodMinutes,
                          const CommandRunner& run);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_
