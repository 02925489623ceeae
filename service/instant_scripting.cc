#include "service/instant_scripting.h"

#include <algorithm>
#include <cstring>

#include "common/text_words.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

const char kInternalPrefix[] = "aaS_internal.";

char* CInstantScripting::getScriptingLanguageId() { return serialCopy(texts_.scriptingLanguageId); }

char* CInstantScripting::getAcessType() { return serialCopy(texts_.accessType); }

KORLEN_AAS_v1_0_0::Types::CoStrings* CInstantScripting::getStatus() {
  // The command runs first, through run(), which takes SerialCall itself.
  CORBA::String_var answer =
      texts_.statusFromCommand ? owner_->runCommand("aaS.get_status") : nullptr;
  const SerialCall serial;
  StateFlags& flags = owner_->stateFlags();
  if (texts_.statusFromCommand) {
    flags.clear();
    for (std::string_view name : splitWords(answer.in(), "\n\r\t ")) {
      flags.set(std::string(name), true);
    }
  }
  KORLEN_AAS_v1_0_0::Types::CoStrings_var names = new KORLEN_AAS_v1_0_0::Types::CoStrings;
  for (const auto& entry : flags.map) {
    if (!entry.second) continue;
    names->length(names->length() + 1);
    names[names->length() - 1] = CORBA::string_dup(entry.first.c_str());
  }
  return names._retn();
}

void CInstantScripting::execute(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(
      1, "ICoScripting::execute",
      "Method is not supported in current  Instant aaS version. Use executeToString instead.\n");
}

// An "aaS_internal." command other than the tick is answered here: those of
// the texts' ownerIorCommands with the owner's ownerIorText(), made on first
// use (the servants are activated by then).
char* CInstantScripting::executeToString(const char* command) {
  if (command == nullptr) command = "";
  if (std::strncmp(command, kInternalPrefix, sizeof(kInternalPrefix) - 1) != 0 ||
      std::strcmp(command, kTickCommand) == 0) {
    return owner_->runCommand(command);
  }
  const SerialCall serial;
  const std::vector<std::string>& iorCommands = texts_.ownerIorCommands;
  if (std::find(iorCommands.begin(), iorCommands.end(), command) == iorCommands.end()) {
    throw GE::EScriptGenericError(1, command, "Unsupported instant aaS command", "");
  }
  if (ownerIor_.empty()) ownerIor_ = owner_->ownerIorText();
  return CORBA::string_dup(ownerIor_.c_str());
}

char* CInstantScripting::executeDelayed(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::executeDelayed",
                          "Method is not supported in current Instant aaS version");
}

char* CInstantScripting::retrieveDelayedOutput(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::retrieveDelayedOutput",
                          "Method is not supported in current Instant aaS version");
}

}  // namespace solvarium
