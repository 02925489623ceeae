// The Talvo kind's errors and questions: the user exceptions of the IDL
// module AAS_CORBA, built with every member set.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_ERRORS_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_ERRORS_H_

#include <string>

namespace TALVO {

// EInstantTalvoGenericError with errorType 1 and an empty commandOutput.
[[noreturn]] void raiseTalvoError(const std::string& command, const std::string& info);

// EInstantReadUnquotedString of questionType 2 (help and message empty).
[[noreturn]] void raiseUnquotedQuestion(const std::string& prompt,
                                        const std::string& defaultAnswer);

// EInstantReadQGenericQuestion of questionType 3 (help empty).
[[noreturn]] void raiseGenericQuestion(const std::string& prompt,
                                       const std::string& defaultAnswer,
                                       const std::string& message);

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_ERRORS_H_
