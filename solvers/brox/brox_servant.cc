#include "solvers/brox/brox_servant.h"

#include <memory>
#include <new>
#include <utility>

#include "common/diagnostics.h"
#include "common/kind_rules.h"
#include "common/startup_error.h"
#include "platform/end_register.h"
#include "platform/process.h"
#include "service/servant_poa.h"
#include "service/service_log.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/brox/brox_errors.h"

namespace BROX {

namespace {

// The solver process's state: no solver to check, gone, alive.
enum class SolverProbe { kNone, kGone, kAlive, kNotProbed };
// A probe made by beforeCommand() for the next command of this thread.
thread_local SolverProbe probedForNextCommand = SolverProbe::kNotProbed;

// The hold on the solver process named by `pidText` (null: unset); null when
// no process id leads the text, or it is not above 0: no solver to check.
std::shared_ptr<solvarium::platform::ProcessWatch> solverHold(const char* pidText) {
  long pid = 0;
  if (pidText != nullptr) solvarium::platform::parsePid(pidText, &pid);
  if (pid <= 0) return nullptr;
  return solvarium::holdSolverProcess(pid);
}

}  // namespace

CBROXSolvarium::CBROXSolvarium(CORBA::ORB_ptr orb, const solvarium::Environment& environment)
    : SolverKind(orb, broxKind()),
      solver_(solverHold(environment.get("KORLEN_BROXSOLVE_PID"))) {
  // A failure leaves no servant activated: that happens after construction.
  BroxInterpreter::Hooks hooks;
  hooks.beforeCommand = [this] { checkSolverAlive(); };
  hooks.stateFlagsText = [this] { return stateFlags().text(); };
  try {
    interpreter_.reset(new BroxInterpreter(std::move(hooks), environment.get("BROXBINDIR")));
  } catch (const std::bad_alloc&) {
    throw solvarium::StartupError("Error setting up Brox monitoring!");
  }
}

CBROXSolvarium::~CBROXSolvarium() = default;

void CBROXSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  if (message != nullptr) solvarium::applyStartedEnded(message, &stateFlags());
}

namespace {

namespace Ex = AAS_CORBA::BROXInstant::Exceptions;

// moreInfo of a carried exception: the command, then any further text.
std::string carriedInfo(const char* command, const char* more) {
  std::string text = std::string("Command:\n") + (command != nullptr ? command : "");
  if (more != nullptr && *more != '\0') text += std::string("\n") + more;
  return text;
}

Ex::EKorlenUnknown carried(CORBA::Long code, const char* description, const char* command,
                           const char* more) {
  return Ex::EKorlenUnknown(code, description, "BROX Instant aaS", "ICoBROXUnit",
                            "executeCommandToString", carriedInfo(command, more).c_str());
}

}  // namespace

char* CBROXSolvarium::executeCommandToString(const char* command) {
  try {
    return run(command, Raises::kKindModule);
  } catch (const Ex::EKorlenUnknown&) {
    throw;
  } catch (const Ex::EKorlenInvalidArgument&) {
    throw;
  } catch (const Ex::EInstantScriptError& e) {
    throw carried(e.errorType, e.errorInfo, command, e.commandOutput);
  } catch (const Ex::EInstantReadUnquotedString& e) {
    throw carried(e.questionType, e.questionPrompt, command, e.defaultAnswer);
  } catch (const CORBA::UserException& e) {
    throw carried(1, e._name(), command, "");
  }
}

CORBA::Boolean CBROXSolvarium::shutdown() {
  solvarium::requestServiceShutdown();  // no wait for a request that runs
  return true;
}

namespace {

SolverProbe probeSolver(const std::shared_ptr<solvarium::platform::ProcessWatch>& solver) {
  if (!solver) return SolverProbe::kNone;
  return solver->alive() ? SolverProbe::kAlive : SolverProbe::kGone;
}

}  // namespace

void CBROXSolvarium::beforeCommand() { probedForNextCommand = probeSolver(solver_); }

void CBROXSolvarium::checkSolverAlive() {
  SolverProbe probe = probedForNextCommand;
  probedForNextCommand = SolverProbe::kNotProbed;
  if (probe == SolverProbe::kNotProbed) probe = probeSolver(solver_);
  if (probe == SolverProbe::kNone) return;
  solvarium::StateFlags& flags = stateFlags();
  flags.set("solver-alive", probe == SolverProbe::kAlive);
  if (probe == SolverProbe::kGone) flags.set("solver-shutdown", true);
}

char* CBROXSolvarium::interpret(const char* command) { return interpreter_->run(command); }

bool CBROXSolvarium::finalSave() {
  namespace platform = solvarium::platform;
  const int kTries = 10;
  std::string cause;
  bool timedOut = false;
  for (int attempt = 0; attempt < kTries && !timedOut; ++attempt) {
    platform::waitForTheEnd();  // no try once the process ends
    const unsigned long timeOuts = platform::programsTimedOutOnThisThread();
    try {
      CORBA::String_var answer =
          run("aaS.save_report_plots_with_persisted_data monitor.json", Raises::kKindModule);
      return true;
    } catch (...) {
      cause = currentFailureText();  // the next try follows at once
    }
    // A program that ran into its time limit would only do so again.
    timedOut = platform::programsTimedOutOnThisThread() != timeOuts;
  }
  platform::waitForTheEnd();
  if (timedOut) {
    solvarium::diagnostic("Saving monitor.json failed, not tried again: %s\n", cause.c_str());
    solvarium::appendText("aas_instant_error.txt",
                          "Unknown error:\nCannot create BROX monitor.json: a program ran past "
                          "its time limit\n");
    return false;
  }
  solvarium::diagnostic("Saving monitor.json failed %d times, the last: %s\n", kTries,
                        cause.c_str());
  solvarium::appendText("aas_instant_error.txt",
                        "Unknown error:\nCannot create BROX monitor.json after 10 tries\n");
  return false;
}

}  // namespace BROX
