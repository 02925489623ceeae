// JSON of the report files ("aaS.list_report_files" and its persisted
// variant) and of the report plots ("aaS.list_report_plots"): the settings
// walk over `monitorSetSettings` and `plotSetSettings` with their property
// handlers. Never throw.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_LISTS_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_LISTS_H_

#include <cstdint>
#include <string>

#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Appends the JSON array of report files to `output`; with `persisted` each
// file's rows from the start iteration (iteration axis) or start time step
// (time-step axis) up to the run's position are added as "persistedData".
void writeReportFileJson(const TalvoState& state, std::string* output, bool persisted,
                         int32_t startIteration, int32_t startTimeStep);

// Appends the JSON array of report plots to `output`.
void writeReportPlotJson(const TalvoState& state, std::string* output);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_LISTS_H_
