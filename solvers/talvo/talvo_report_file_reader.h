// Persisted data of one Talvo report file: the file the solver writes for a
// report (name line, title line, a header of quoted column names, then rows
// of numbers) turned into a JSON object with one array per column, limited to
// the rows between a start iteration or time step and the run's position.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_FILE_READER_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_FILE_READER_H_

#include <cstdint>
#include <string>

#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Where the listing stands: the run's current iteration, its time step text
// (from the solver variable "time-step"; `hasTimeStep` false when unknown)
// and the start values of the row filter.
struct ReportFilePosition {
  int32_t currentIteration = 0;
  bool hasTimeStep = false;
  std::string timeStep;
  int32_t startIteration = 0;
  int32_t startTimeStep = 0;
};

// The run's position from `state`, with the given start values.
ReportFilePosition reportFilePosition(const TalvoState& state, int32_t startIteration,
                                      int32_t startTimeStep);

// The persisted-data object of a report file's `content` (ending with a line
// feed); "" when the content has fewer than three lines or a header without
// quoted column names. Always valid JSON when not empty.
std::string parseReportFile(const std::string& content, const ReportFilePosition& position);

// Reads the report file `name` (inside the working directory) and answers
// parseReportFile of it; "" when it cannot be read, is empty or does not fit
// in memory. The cause of any failure but a missing file goes to stderr.
std::string readReportFile(const std::string& name, const ReportFilePosition& position);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_FILE_READER_H_
