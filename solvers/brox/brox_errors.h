// The errors and questions that every Brox command raises: the user
// exceptions of BROXInstant::Exceptions, built with every member set.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_ERRORS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_ERRORS_H_

#include <cstddef>
#include <string>
#include <vector>

#include "solvers/instant_kind.h"

namespace BROX {

// A command split into words: token 0 is the command name, then the
// arguments (a double-quoted argument keeps its quotes).
typedef std::vector<std::string> Tokens;

// Raises EInstantScriptError with errorType 1 and the given command, error
// text and commandOutput.
[[noreturn]] void raiseScriptError(const std::string& command, const std::string& errorInfo,
                                   const std::string& commandOutput = std::string());

// Raises the script error "command [<commandText>] does not have
// parameters" when there is any token after the command name.
void raiseIfParameters(const Tokens& tokens, const std::string& commandText);

// Raises EKorlenInvalidArgument (code 1, scope "BROX Instant aaS",
// interface "IBroxMonitors", operation = commandText, moreInfo
// "Instant aaS command:\n" + commandText) at token index `position`.
[[noreturn]] void raiseMonitorArgumentError(const std::string& description,
                                            const std::string& commandText,
                                            std::size_t position);

// Raises EInstantReadUnquotedString (questionType 2) with the prompt and the
// default answer; help and message stay empty.
[[noreturn]] void raiseQuestion(const std::string& prompt, const std::string& defaultAnswer);

// The cause of the exception being handled (solvarium::currentFailureText
// with the Brox kind's texts).
std::string currentFailureText();

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_ERRORS_H_
