#include "solvers/brox/brox_kind.h"

#include <memory>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "platform/process.h"
#include "solvers/brox/brox_servant.h"
#include "solvers/generic_twins.h"
#include "solvers/instant_kind.h"

namespace BROX {

namespace {

using solvarium::KeyFile;
using solvarium::StartContext;
using solvarium::WatchRule;

// KORLEN_BROXSOLVE_PID: required, a process id.
solvarium::StartPid solverPid(const StartContext& context, const solvarium::KindSettings*) {
  solvarium::StartPid pid;
  const char* value = context.environment.get("KORLEN_BROXSOLVE_PID");
  std::string reason;
  if (value == nullptr) {
    reason = "KORLEN_BROXSOLVE_PID is not set";
  } else if (!solvarium::platform::parsePid(value, &pid.pid)) {
    reason = "KORLEN_BROXSOLVE_PID (" + std::string(value) + ") is not a valid process id";
  }
  if (!reason.empty()) {
    pid.refusal = "Error retrieving BROX pid.\n" + reason + ".\n";
    solvarium::diagnostic("Start-up failed: %s: set it to the Brox solver's process id\n",
                          reason.c_str());
  }
  return pid;
}

solvarium::SolverKindRecord makeRecord() {
  using AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit;
  solvarium::SolverKindRecord record =
      solvarium::instantKindRecord("brox", "BROXSolvarium", "korlen-brox", "brox_instant_aas");
  record.texts.collaborativeScope = " Instant aaS";
  record.failureText = []() -> std::string {
    namespace BE = AAS_CORBA::BROXInstant::Exceptions;
    try {
      throw;
    } catch (const BE::EInstantScriptError& e) {
      return e.errorInfo.in();
    } catch (const BE::EInstantReadUnquotedString& e) {
      return e.questionPrompt.in();
    } catch (const BE::EKorlenUnknown& e) {
      return e.description.in();
    } catch (const BE::EKorlenInvalidArgument& e) {
      return e.description.in();
    }
  };
  record.twins = solvarium::twin::rethrowBroxInstantTwin;
  record.failure = [](const char* command, const char* what) { raiseScriptError(command, what); };
  record.usage =
      "    KORLEN_BROXSOLVE_PID  required: the Brox solver's process id\n"
      "    BROXBINDIR            required: the Brox installation directory\n"
      "    BROX_AAS_KEY_FILE     the key file (default aaS_BROXSolvarium.txt)\n";
  record.keyFiles = [](const StartContext& context) {
    const std::string name =
        context.environment.valueOr("BROX_AAS_KEY_FILE", "aaS_BROXSolvarium.txt");
    return std::vector<KeyFile>{{name}, {solvarium::instantTwinName(name), true}};
  };
  WatchRule& watch = record.watch;
  watch.source = WatchRule::PidSource::kAtStart;
  watch.pidAtStart = solverPid;
  watch.refusalFile = "brox_instant_aas_error.txt";
  watch.stepMs = 1000;
  watch.tickDelayMs = 59 * 1000;
  watch.connect = solvarium::kindObjectLink<ICoBROXUnit>(
      [](ICoBROXUnit::_ptr_type unit, const char* command) {
        return unit->executeCommandToString(command);
      });
  record.create = [](CORBA::ORB_ptr orb, const StartContext& context,
                     const solvarium::KindSettings*) {
    return std::unique_ptr<solvarium::SolverKind>(new CBROXSolvarium(orb, context.environment));
  };
  return record;
}

}  // namespace

const solvarium::SolverKindRecord& broxKind() {
  static const solvarium::SolverKindRecord record = makeRecord();
  return record;
}

}  // namespace BROX
