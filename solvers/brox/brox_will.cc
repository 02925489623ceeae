#include "solvers/brox/brox_will.h"

#include <cstdio>
#include <exception>

#include "AAS_CORBA.hh"

namespace BROX {

const char* const kMonitorSaveFile = "monitor.json";

namespace {

// Text of the exception being handled, for the tick's report.
std::string failureText() {
  namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
  try {
    throw;
  } catch (const Exc::EInstantScriptError& e) {
    return std::string(e.errorInfo.in());
  } catch (const Exc::EInstantReadUnquotedString& e) {
    return std::string(e.questionPrompt.in());
  } catch (const Exc::EKorlenUnknown& e) {
    return std::string(e.description.in());
  } catch (const Exc::EKorlenInvalidArgument& e) {
    return std::string(e.description.in());
  } catch (const CORBA::Exception& e) {
    return e._name();
  } catch (const std::string& text) {
    return text;
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "unknown failure";
  }
}

}  // namespace

std::string tickOneMinute(int32_t* tickMinutes, int32_t autoSavePeriodMinutes,
                          const CommandRunner& run) {
  // ">=": a period shortened below the current count still saves.
  if (++*tickMinutes < autoSavePeriodMinutes) return std::string();
  *tickMinutes = 0;
  try {
    run(std::string("aaS.save_report_plots_with_persisted_data ") + kMonitorSaveFile);
  } catch (...) {
    std::printf("Auto-save of %s failed: %s\n", kMonitorSaveFile, failureText().c_str());
  }
  return std::string();
}

}  // namespace BROX
