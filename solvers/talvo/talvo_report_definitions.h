// JSON of the report definitions ("aaS.list_report_definitions"): the
// settings walk over `reportDefinitionSettings` with the report-definition
// property handler. Never throws.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_DEFINITIONS_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_DEFINITIONS_H_

#include <string>

#include "solvers/talvo/talvo_state.h"

namespace TALVO {

// Appends the JSON array of report definitions to `output`.
void writeReportDefinitionJson(const TalvoState& state, std::string* output);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_REPORT_DEFINITIONS_H_
