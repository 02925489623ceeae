#include "solvers/talvo/talvo_errors.h"

#include "AAS_CORBA.hh"

namespace TALVO {

void raiseTalvoError(const std::string& command, const std::string& info) {
  throw AAS_CORBA::EInstantTalvoGenericError(1, command.c_str(), info.c_str(), "");
}

void raiseUnquotedQuestion(const std::string& prompt, const std::string& defaultAnswer) {
  throw AAS_CORBA::EInstantReadUnquotedString(2, prompt.c_str(), defaultAnswer.c_str(), "", "");
}

void raiseGenericQuestion(const std::string& prompt, const std::string& defaultAnswer,
                          const std::string& message) {
  throw AAS_CORBA::EInstantReadQGenericQuestion(3, prompt.c_str(), defaultAnswer.c_str(), "",
                                                message.c_str());
}

}  // namespace TALVO
