// Helpers shared by the Brox report-plot and variable-name listings: the
// object of one listed run and the parse of the monitor-data program's XML
// for one run. Free functions without state. The listings themselves are
// BroxMonitors::listReportPlots and BroxMonitors::listVariableNames.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_

#include <map>
#include <string>

#include "quennet/brox_status.h"

class ACEXML_DefaultHandler;

namespace BROX {

// The path without a leading "./".
std::string withoutDotSlash(const std::string& path);

// The JSON array of the listed runs (run path -> "metaData"), one object
// per run (".res": a saved one): its header members (appendRunHeader),
// "metaData" and, when `data` is not null, "Data" (the run's entry there).
std::string runMetadataArray(const std::map<std::string, std::string>& metaData,
                             const std::map<std::string, std::string>* data,
                             const BroxStatusReader::ResultMap& results);

// Parses one run's monitor-data output with `handler`. A document that does
// not parse is reported on stderr ("parse exception: ...") and raised as
// EInstantScriptError (errorType 1, `commandText`, the parser's message).
void parseRunOutput(const std::string& output, ACEXML_DefaultHandler& handler,
                    const std::string& runPath, const std::string& commandText);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
