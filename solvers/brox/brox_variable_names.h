// Run selection of the Brox variable-name listing
// (BroxMonitors::listVariableNames, defined in brox_variable_names.cc).
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_NAMES_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_NAMES_H_

#include <string>

namespace BROX {

// The extension of a run path: its last four characters (".dir", ".res").
std::string runExtension(const std::string& runPath);

// Whether `runPath` is selected by `sessionName` (empty selects every run).
// Both are compared without a leading "./"; the run must be the session name
// followed by `requiredExtension`, or by its own extension when none is
// required.
bool runMatchesSession(const std::string& runPath, const std::string& sessionName,
                       const std::string& requiredExtension);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_NAMES_H_
