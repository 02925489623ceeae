#include "solvers/brox/brox_servant.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#include "common/startup_error.h"
#include "platform/process.h"
#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"
#include "solvers/brox/brox_broadcast.h"

namespace BROX {

namespace {

// Guards solverPidCache and solverWatch: the solver is probed before the
// servants' serialising lock is taken, by several request threads at once.
std::mutex solverWatchMutex;
// Process id of the solver from KORLEN_BROXSOLVE_PID; -1 until read.
int32_t solverPidCache = -1;
// The hold on the solver process (pid > 0 only), shared with the watcher,
// which took it at start-up.
std::shared_ptr<solvarium::platform::ProcessWatch> solverWatch;

// The solver process's state: no solver to check, gone, alive.
enum class SolverProbe { kNone, kGone, kAlive, kNotProbed };
// A probe made by beforeCommand() for the next command of this thread.
thread_local SolverProbe probedForNextCommand = SolverProbe::kNotProbed;

SolverProbe probeSolver() {
  std::shared_ptr<solvarium::platform::ProcessWatch> watch;
  {
    const std::lock_guard<std::mutex> lock(solverWatchMutex);
    if (solverPidCache == -1) {
      const char* text = std::getenv("KORLEN_BROXSOLVE_PID");
      long pid = 0;  // stays 0 (no solver to check) unless a process id leads the text
      if (text != nullptr) solvarium::platform::parsePid(text, &pid);
      solverPidCache = static_cast<int32_t>(pid);
      if (solverPidCache > 0) solverWatch = solvarium::holdSolverProcess(solverPidCache);
    }
    watch = solverWatch;
  }
  if (!watch) return SolverProbe::kNone;
  return watch->alive() ? SolverProbe::kAlive : SolverProbe::kGone;
}

}  // namespace

CBROXSolvarium::CBROXSolvarium(CORBA::ORB_ptr orb) : orb_(CORBA::ORB::_duplicate(orb)) {
  // The monitoring object's checks come first, so that a failure leaves no
  // generic servant (nor this servant) activated.
  BroxInterpreter::Hooks hooks;
  hooks.beforeCommand = [this] { checkSolverAlive(); };
  hooks.stateFlagsText = [this] { return scripting_->stateFlagsText(); };
  try {
    interpreter_.reset(new BroxInterpreter(std::move(hooks)));
  } catch (const std::bad_alloc&) {
    throw solvarium::StartupError("Error setting up Brox monitoring!");
  }
  solvarium::createGenericServants(solvarium::kKindBrox, this, &scripting_, &solverUnit_,
                                   &fileSystem_);
}

CBROXSolvarium::~CBROXSolvarium() {
  solvarium::deleteGenericServants(&scripting_, &solverUnit_, &fileSystem_);
}

PortableServer::POA_ptr CBROXSolvarium::_default_POA() { return solvarium::servantPoa(); }

void CBROXSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  if (message == nullptr) return;
  for (const StateFlagChange& change : broadcastFlagChanges(message)) {
    setStateFlag(change.name, change.on);
  }
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
  beforeCommand();
  const solvarium::SerialCall serial;
  try {
    return runCommand(command);
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
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(orb_.in());
  return true;
}

void CBROXSolvarium::beforeCommand() { probedForNextCommand = probeSolver(); }

void CBROXSolvarium::checkSolverAlive() {
  SolverProbe probe = probedForNextCommand;
  probedForNextCommand = SolverProbe::kNotProbed;
  if (probe == SolverProbe::kNotProbed) probe = probeSolver();
  if (probe == SolverProbe::kNone) return;
  if (probe == SolverProbe::kAlive) {
    setStateFlag("solver-alive", true);
  } else {
    setStateFlag("solver-alive", false);
    setStateFlag("solver-shutdown", true);
  }
}

CORBA::ORB_ptr CBROXSolvarium::ownerOrb() { return orb_.in(); }

char* CBROXSolvarium::interpretCommand(const char* command) {
  return runCommand(command);
}

std::string CBROXSolvarium::ownerIorText() {
  AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var reference = _this();
  CORBA::String_var ior = orb_->object_to_string(reference.in());
  return ior.in();
}

solvarium::CInstantScripting* CBROXSolvarium::scriptingServant() { return scripting_; }
solvarium::CCoFileSystem* CBROXSolvarium::fileSystemServant() { return fileSystem_; }
solvarium::CCoSolverUnit* CBROXSolvarium::solverUnitServant() { return solverUnit_; }

void CBROXSolvarium::TEST_resetSolverPidCache() {
  const std::lock_guard<std::mutex> lock(solverWatchMutex);
  solverPidCache = -1;
  solverWatch.reset();
  probedForNextCommand = SolverProbe::kNotProbed;
}

void CBROXSolvarium::setStateFlag(const std::string& name, bool on) {
  scripting_->setStateFlag(name, on);
}

}  // namespace BROX
