#include "solvers/brox/brox_errors.h"

#include "AAS_CORBA.hh"
#include "common/command_tokenizer.h"
#include "solvers/brox/brox_kind.h"

namespace BROX {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;

void raiseScriptError(const std::string& command, const std::string& errorInfo,
                      const std::string& commandOutput) {
  throw Exc::EInstantScriptError(1, command.c_str(), errorInfo.c_str(), commandOutput.c_str());
}

void raiseMonitorArgumentError(const std::string& description, const std::string& commandText,
                               std::size_t position) {
  const std::string moreInfo = "Instant aaS command:\n" + commandText;
  throw Exc::EKorlenInvalidArgument(1, description.c_str(), "BROX Instant aaS", "IBroxMonitors",
                                    commandText.c_str(), moreInfo.c_str(),
                                    solvarium::clampPosition(position));
}

std::string currentFailureText() { return solvarium::currentFailureText(&broxKind()); }

void raiseQuestion(const std::string& prompt, const std::string& defaultAnswer) {
  throw Exc::EInstantReadUnquotedString(2, prompt.c_str(), defaultAnswer.c_str(), "", "");
}

void raiseIfParameters(const Tokens& tokens, const std::string& commandText) {
  if (tokens.size() > 1)
    raiseScriptError(commandText, "command [" + commandText + "] does not have parameters");
}

}  // namespace BROX
