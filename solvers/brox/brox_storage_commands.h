// The errors the Brox commands raise, and helpers of the storage, file and
// will commands (the JSON answer of "aaS.retrieve_will").
//
// The listings themselves (list_folders, list_files, listDirectories, ...)
// are members of BroxMonitors; their bodies live in brox_storage_commands.cc.
// Everything runs in the ORB's request thread; nothing here keeps state.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_

#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "solvers/instant_kind.h"

namespace BROX {

// The report-plot will: session name -> attribute words.
typedef std::map<std::string, std::vector<std::string>> Will;

// Raises EInstantScriptError with errorType 1 and the given command, error
// text and commandOutput.
[[noreturn]] void raiseScriptError(const std::string& command, const std::string& errorInfo,
                                   const std::string& commandOutput = std::string());

// Raises the script error "command [<commandText>] does not have
// parameters" when there is any token after the command name.
void raiseIfParameters(const std::vector<std::string>& tokens, const std::string& commandText);

// Raises EKorlenInvalidArgument (code 1, scope "BROX Instant aaS",
// interface "IBroxMonitors", operation = commandText, moreInfo
// "Instant aaS command:\n" + commandText) at token index `position`.
[[noreturn]] void raiseMonitorArgumentError(const std::string& description,
                                            const std::string& commandText,
                                            std::size_t position);

// Raises EInstantReadUnquotedString (questionType 2) with the prompt and the
// default answer; help and message stay empty.
[[noreturn]] void raiseQuestion(const std::string& prompt, const std::string& defaultAnswer);

using solvarium::currentFailureText;

// Appends the JSON answer of "aaS.retrieve_will": the session name and its
// attributes when the will holds exactly one session, else an empty object.
void writeWillJson(const Will& will, std::string& result);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_
