#include "solvers/instant_kind.h"

#include <cstdio>
#include <exception>

#include "AAS_CORBA.hh"
#include "common/diagnostics.h"
#include "idl/exception_members.h"
#include "service/service_log.h"

namespace solvarium {

namespace {

namespace BE = AAS_CORBA::BROXInstant::Exceptions;

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

const char kUnknownReport[] = "\n\nUnknown error executing solver will\n\n";

}  // namespace

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
  texts.fileSystemScope = "GREND Instant";
  texts.solverFilesNotSupported = "Method is not supported in current GREND version";
  return record;
}

void saveWithReport(const std::function<char*()>& save) {
  std::string report;
  try {
    CORBA::String_var answer = save();
    return;
  } catch (const BE::EInstantYesNoQuestion& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantYesNoQuestion", e);
  } catch (const BE::EInstantReadUnquotedString& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantReadUnquotedString", e);
  } catch (const BE::EInstantReadQGenericQuestion& e) {
    report = memberReport("AS_CORBA::BROXInstant::Exceptions::EInstantReadQGenericQuestion", e);
  } catch (const BE::EInstantMenuGetQuestion& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantMenuGetQuestion", e);
  } catch (const BE::EInstantScriptError& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantScriptError", e);
  } catch (const BE::EKorlenInvalidArgument& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EKorlenInvalidArgument", e);
  } catch (const BE::EKorlenUnknown& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EKorlenUnknown", e);
  } catch (const CORBA::Exception& e) {
    solvarium::diagnostic("Final save failed: %s\n", e._name());
    report = kUnknownReport;
  } catch (const std::exception& e) {
    solvarium::diagnostic("Final save failed: %s\n", e.what());
    report = kUnknownReport;
  }
  appendText("instant_aas.error", report);
}

}  // namespace solvarium
