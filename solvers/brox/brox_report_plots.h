// Helpers shared by the Brox report-plot and variable-name listings: the
// members that name a listed run, and the parse of the monitor-data
// program's XML for one run. The listings themselves are
// BroxMonitors::listReportPlots and BroxMonitors::listVariableNames.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_

#include <string>

#include "solvers/brox/brox_monitor_csv.h"

class ACEXML_DefaultHandler;

namespace BROX {

// The path without a leading "./".
std::string withoutDotSlash(const std::string& path);

// Appends the "monitorType", location ("monitorDir" / "monitorFile") and,
// for a configuration of a multi-configuration run, the "multiConfigName"
// and "multiConfigIndex" members of one listed run, each after the first
// preceded by "\t\t,\n". Strings are JSON-escaped.
void appendRunHeader(std::string& out, const MonitorLocation& where);

// Parses one run's monitor-data output with `handler`. A document that does
// not parse is reported on stderr ("parse exception: ...") and raised as
// EInstantScriptError (errorType 1, `commandText`, the parser's message).
void parseRunOutput(const std::string& output, ACEXML_DefaultHandler& handler,
                    const std::string& program, const std::string& runPath,
                    const std::string& commandText);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
