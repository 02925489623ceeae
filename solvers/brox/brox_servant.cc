#include "solvers/brox/brox_servant.h"

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>

#include "platform/process.h"
#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"
#include "solvers/brox/brox_broadcast.h"
#include "solvers/brox/brox_interpreter.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"

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

CBROXSolvarium::CBROXSolvarium(CORBA::ORB_ptr orbArgument)
    : orb(CORBA::ORB::_duplicate(orbArgument)),
      tickMinutes(0),
      autoSavePeriodMinutes(1),
      scripting(nullptr),
      solverUnit(nullptr),
      fileSystem(nullptr),
      monitors(nullptr) {
  // The monitoring object's checks come first, so that a failure leaves no
  // generic servant (nor this servant) activated.
  try {
    monitors = new BroxMonitors(this);
  } catch (const std::bad_alloc&) {
    throw std::string("Error setting up Brox monitoring!");
  }
  try {
    solvarium::createGenericServants(solvarium::kKindBrox, this, &scripting, &solverUnit,
                                     &fileSystem);
  } catch (...) {
    delete monitors;
    throw;
  }
  for (const std::string& name : broxCommandNames()) supportedCommands.insert(name);
}

CBROXSolvarium::~CBROXSolvarium() {
  solvarium::deleteGenericServants(&scripting, &solverUnit, &fileSystem);
  delete monitors;
  monitors = nullptr;
}

PortableServer::POA_ptr CBROXSolvarium::_default_POA() { return solvarium::servantPoa(); }

void CBROXSolvarium::addGenericExceptionMessage(const char* message) {
  const solvarium::SerialCall serial;
  if (message == nullptr) return;
  for (const StateFlagChange& change : broadcastFlagChanges(message)) {
    setStateFlag(change.name, change.on);
  }
}

CORBA::Boolean CBROXSolvarium::shutdown() {
  const solvarium::SerialCall serial;
  solvarium::requestServiceShutdown(orb.in());
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

char* CBROXSolvarium::getSolverStateText() {
  return CORBA::string_dup(scripting->stateFlagsText().c_str());
}

char* CBROXSolvarium::getStorageStatusJson() {
  BroxStatusHandle handle;
  loadBroxStatusOrRaise(&handle, "aaS.get_storage_status");
  // Written once, straight into the answer's string.
  const std::size_t size = statusListJsonSize(handle.reader->results, 0);
  if (size >= 0xFFFFFFFFu) throw std::length_error("Run status answer too large");
  CORBA::String_var answer = CORBA::string_alloc(static_cast<CORBA::ULong>(size));
  *writeStatusListJson(handle.reader->results, 0, answer.inout()) = '\0';
  return answer._retn();
}

CORBA::ORB_ptr CBROXSolvarium::ownerOrb() { return orb.in(); }

char* CBROXSolvarium::interpretCommand(const char* command) {
  return runCommand(command);
}

std::string CBROXSolvarium::ownerIorText() {
  AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var reference = _this();
  CORBA::String_var ior = orb->object_to_string(reference.in());
  return ior.in();
}

solvarium::CInstantScripting* CBROXSolvarium::scriptingServant() { return scripting; }
solvarium::CCoFileSystem* CBROXSolvarium::fileSystemServant() { return fileSystem; }
solvarium::CCoSolverUnit* CBROXSolvarium::solverUnitServant() { return solverUnit; }

void CBROXSolvarium::TEST_resetSolverPidCache() {
  const std::lock_guard<std::mutex> lock(solverWatchMutex);
  solverPidCache = -1;
  solverWatch.reset();
  probedForNextCommand = SolverProbe::kNotProbed;
}

void CBROXSolvarium::setStateFlag(const std::string& name, bool on) {
  scripting->setStateFlag(name, on);
}

}  // namespace BROX
