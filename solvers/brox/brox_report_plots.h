// Pieces shared by the Brox report-plot and variable-name listings: where a
// listed run is shown, its multi-configuration members, and the parse of the
// monitor-data program's XML for one run. The listings themselves are
// BroxMonitors::listReportPlots and BroxMonitors::listVariableNames.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_

#include <string>

#include "quennet/brox_status.h"

class ACEXML_DefaultHandler;

namespace BROX {

// A run path as the listings give it ("./run.dir", "./mc/cfg.res").
struct RunLocation {
  std::string folder;  // text before the last "/"; "." when there is none
  std::string leaf;    // text after it
  std::string shown;   // folder + "/" + leaf without a leading "./"
};
RunLocation locateRun(const std::string& runPath);

// The path without a leading "./".
std::string withoutDotSlash(const std::string& path);

// `token` without one enclosing pair of double quotes.
std::string withoutQuotes(const std::string& token);

// Appends "\t\t,\n" + "multiConfigName" + "\t\t,\n" + "multiConfigIndex" when
// the status record of the run's folder (folder + ".mres" for a saved run)
// is a multi-configuration run listing the leaf without its extension.
void appendMultiConfig(std::string& out, const BroxStatusReader* status,
                       const RunLocation& location, bool saved);

// Parses one run's monitor-data output with `handler`. A document that does
// not parse is reported on stderr ("parse exception: ...") and raised as
// EInstantScriptError (errorType 1, `commandText`, the parser's message).
void parseRunOutput(const std::string& output, ACEXML_DefaultHandler& handler,
                    const std::string& program, const std::string& runPath,
                    const std::string& commandText);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_REPORT_PLOTS_H_
