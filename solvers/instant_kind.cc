#include "solvers/instant_kind.h"

#include <exception>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/diagnostics.h"
#include "idl/exception_members.h"
#include "service/service_log.h"

namespace solvarium {

namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

std::string field(const char* name, const char* value) {
  return std::string(name) + ": <" + (value != nullptr ? value : "") + ">\n";
}

std::string field(const char* name, long value) {
  return std::string(name) + ": <" + std::to_string(value) + ">\n";
}

// The report of a failed final save: a header naming the exception, then
// every member as "name: <value>".
template <class E>
std::string memberReport(const char* what, const E& e) {
  std::string text = std::string("\n\n") + what + " caught executing solver will\n\n";
  exception_members::visitMembers(
      e, [&text](const char* name, auto value) { text += field(name, value); });
  return text;
}

// "text: more", or "text" alone when `more` is empty.
std::string withMore(const char* text, const char* more) {
  return std::string(text) + (*more != '\0' ? std::string(": ") + more : std::string());
}

}  // namespace

std::string currentFailureText(const SolverKindRecord* kind, const char* unknown) {
  try {
    if (kind != nullptr && kind->failureText != nullptr) return kind->failureText();
    throw;
  } catch (const CORBA::Exception& e) {
    return e._name();
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return unknown;
  }
}

SolverKindRecord instantKindRecord(const std::string& solverOption, const std::string& serverName,
                                   const std::string& solverId, const std::string& languageId) {
  SolverKindRecord record;
  record.solverOptions = {solverOption};
  record.programMarker = serverName;
  record.serverName = serverName;
  KindTexts& texts = record.texts;
  texts.solverId = solverId;
  texts.accessType = "instant";
  texts.scriptingLanguageId = languageId;
  // Every kind answers all three.
  texts.ownerIorCommands = {"aaS_internal.get_brox_exception_holder_ior",
                            "aaS_internal.get_grend_exception_holder_ior",
                            "aaS_internal.get_talvo_exception_holder_ior"};
  // Kept texts, the same for every kind: clients may match them.
  texts.fileSystemScope = "GREND Instant";  // the scope of every file-system error
  texts.solverFilesNotSupported = "Method is not supported in current GREND version";
  return record;
}

std::string instantTwinName(const std::string& name) {
  const std::string::size_type separator = name.find_last_of("\\/");
  if (separator == std::string::npos) return "instant_" + name;
  return name.substr(0, separator + 1) + "instant_" + name.substr(separator + 1);
}

bool saveWithReport(SolverKind* kind, const char* command) {
  std::string report = "\n\nUnknown error executing solver will\n\n";
  std::string cause;
  try {
    CORBA::String_var answer = kind->run(command);
    return true;
  } catch (const GE::EUnknown& e) {
    report = memberReport("KORLEN_AAS_v1_0_0::Exceptions::EUnknown", e);
    cause = withMore(e.description.in(), e.moreInfo.in());
  } catch (const GE::EScriptGenericError& e) {
    report = memberReport("KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError", e);
    cause = withMore(e.errorInfo.in(), e.commandOutput.in());
  } catch (...) {
    cause = currentFailureText();
  }
  solvarium::diagnostic("Final save failed: %s\n", cause.c_str());
  appendText("instant_aas.error", report);
  return false;
}

void tickAutoSave(int32_t* minutes, int32_t period, const std::function<void()>& save,
                  const std::function<void()>& report) {
  if (++*minutes < period) return;
  *minutes = 0;
  try {
    save();
  } catch (...) {
    report();
  }
}

}  // namespace solvarium
