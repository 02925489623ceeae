#include "service/solver_process_checker.h"

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "platform/process.h"
#include "service/service_log.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"

namespace solvarium {

namespace {

const char kTick[] = "aaS_internal.tic_one_minute";
const long kSecond = 1000;

// The ORB of the process (a second ORB_init answers the service's own ORB);
// it is never destroyed here.
CORBA::ORB_ptr watcherOrb() {
  int argc = 0;
  return CORBA::ORB_init(argc, nullptr, "omniORB4");
}

// Narrows the key in the buffer to `Interface`; nil when that fails.
template <typename Interface>
typename Interface::_ptr_type connectTo() {
  try {
    CORBA::ORB_var orb = watcherOrb();
    const std::string key = solverUnitKeyBuffer().get();
    CORBA::Object_var object = orb->string_to_object(key.c_str());
    return Interface::_narrow(object.in());
  } catch (const CORBA::Exception&) {
    return Interface::_nil();
  }
}

// Asks the kind servant to stop the service. Returns when that is done or
// someone else has begun the shutdown; otherwise ends the process (code 0).
template <typename Reference>
void requestShutdown(Reference& unit) {
  if (shutdownBegun()) return;
  try {
    unit->shutdown();
    return;
  } catch (...) {
  }
  platform::sleepMilliseconds(2 * kSecond);
  if (!shutdownBegun()) endProcess(0);
}

// The solver has gone before the watcher could connect.
void solverGoneUnconnected() {
  if (!shutdownBegun()) endProcess(0);
}

// The solver has gone: with a connection, shutdown through the kind servant.
template <typename Reference>
void solverGone(bool connected, Reference& unit) {
  if (connected) {
    requestShutdown(unit);
  } else {
    solverGoneUnconnected();
  }
}

template <typename Reference>
void sendTick(Reference& unit) {
  if (shutdownBegun()) return;
  try {
    CORBA::String_var answer = unit->executeCommandToString(kTick);
  } catch (...) {
    // a failed tick is dropped
  }
}

}  // namespace

CSolverProcessChecker::CSolverProcessChecker(int kind, const UdfDescription* udf,
                                             const Environment& environment)
    : ACE_Task_Base(nullptr), kind_(kind) {
  if (kind == 1) pidSource_ = "KORLEN_BROXSOLVE_PID";
  if (kind == 2) pidSource_ = "KORLEN_PELLIX_PID";
  const char* value = pidSource_ != nullptr ? environment.get(pidSource_) : nullptr;
  if (value != nullptr) pidText_ = value;
  pidSet_ = value != nullptr;
  if (kind == 4 && udf != nullptr) {
    pidText_ = udf->solverPid;
    pidSet_ = true;
  }
}

CSolverProcessChecker::~CSolverProcessChecker() = default;

void CSolverProcessChecker::checkProcessId() {
  if (kind_ == 1) {
    std::string reason;
    if (!pidSet_) {
      reason = "KORLEN_BROXSOLVE_PID is not set.\n";
    } else {
      if (!platform::parsePid(pidText_, &pid_)) {
        reason = "KORLEN_BROXSOLVE_PID (" + pidText_ + ") is not a valid process id.\n";
      }
    }
    if (!reason.empty()) {
      const std::string text = "Error retrieving BROX pid.\n" + reason;
      appendText("brox_instant_aas_error.txt", text);
      endProcess(1);
    }
  } else if (kind_ == 4) {
    if (!platform::parsePid(pidText_, &pid_)) {
      const std::string text =
          "the pid provided through the configuration file environment variable is invalid (" +
          pidText_ + ")\n";
      appendText("aas_udf_instant_aas_error.txt", text);
      endProcess(1);
    }
  } else if (kind_ == 2) {
    if (!pidSet_) return;  // no watching
    platform::parsePid(pidText_, &pid_);  // stays -1 (never alive) unless a process id leads
  }
  if (kind_ == 1 || kind_ == 2 || kind_ == 4) solver_ = holdSolverProcess(pid_);
}

int CSolverProcessChecker::svc() {
  switch (kind_) {
    case 1: return watchBroxSolver();
    case 2: return watchTalvoSolver();
    case 3: return watchGrendSolver();
    case 4: return watchUdfSolver();
    default: return 1;
  }
}

bool CSolverProcessChecker::isProcessAlive(long pid) { return platform::isProcessAlive(pid); }

bool CSolverProcessChecker::solverAlive() const { return solver_ && solver_->alive(); }

int CSolverProcessChecker::watchBroxSolver() {
  using AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit;
  ICoBROXUnit::_var_type unit;
  bool connected = false;
  for (;;) {
    platform::sleepMilliseconds(kSecond);
    if (shutdownBegun()) return 0;
    if (!connected && !solverUnitKeyBuffer().empty()) {
      unit = connectTo<ICoBROXUnit>();
      connected = !CORBA::is_nil(unit.in());
    }
    if (connected) {
      platform::sleepMilliseconds(59 * kSecond);
      sendTick(unit);
    }
    if (!solverAlive()) {
      solverGone(connected, unit);
      return 0;
    }
  }
}

int CSolverProcessChecker::watchTalvoSolver() {
  using AAS_CORBA::Talvo::ITalvoExceptionHolder;
  if (!solver_) return 0;  // KORLEN_PELLIX_PID unset
  ITalvoExceptionHolder::_var_type unit;
  bool connected = false;
  for (;;) {
    platform::sleepMilliseconds(60 * kSecond);
    if (shutdownBegun()) return 0;
    if (!connected && !solverUnitKeyBuffer().empty()) {
      unit = connectTo<ITalvoExceptionHolder>();
      connected = !CORBA::is_nil(unit.in());
    }
    if (connected && !shutdownBegun()) {
      try {
        CORBA::String_var answer = unit->doInstantCommandToString(kTick);
      } catch (...) {
        // a failed tick is dropped
      }
    }
    if (!solverAlive()) {
      solverGone(connected, unit);
      return 0;
    }
  }
}

int CSolverProcessChecker::watchGrendSolver() {
  using AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit;
  ICoGrendUnit::_var_type unit;
  bool connected = false;
  int step = 0;
  int pidSightings = 0;
  int keySightings = 0;
  bool pidKnown = false;
  for (;;) {
    platform::sleepMilliseconds(5 * kSecond);
    if (shutdownBegun()) return 0;
    step = (step + 1) % 1200;
    if (!pidKnown && !grendPidBuffer().empty() && ++pidSightings >= 2) {
      // The hold taken on the hand-over (a pid that does not parse: never alive).
      long pid = -1;
      platform::parsePid(grendPidBuffer().get(), &pid);
      solver_ = holdSolverProcess(pid);
      pidKnown = true;
    }
    if ((pidKnown && !solverAlive()) || (!pidKnown && step == 0)) {
      solverGone(connected, unit);
      return 0;
    }
    if (!connected && !solverUnitKeyBuffer().empty() && ++keySightings >= 2) {
      unit = connectTo<ICoGrendUnit>();
      connected = !CORBA::is_nil(unit.in());
    }
    if (connected && step % 12 == 0) sendTick(unit);
  }
}

int CSolverProcessChecker::watchUdfSolver() {
  using KORLEN_AAS_v1_0_0::Solvers::ICoScripting;
  using KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit;
  ICoScripting::_var_type scripting;
  bool connected = false;
  for (;;) {
    platform::sleepMilliseconds(kSecond);
    if (shutdownBegun()) return 0;
    if (!connected && !solverUnitKeyBuffer().empty()) {
      ICoSolverUnit::_var_type unit = connectTo<ICoSolverUnit>();
      if (!CORBA::is_nil(unit.in())) {
        try {
          scripting = unit->getCommandScripting();
          connected = !CORBA::is_nil(scripting.in());
        } catch (const CORBA::Exception&) {
          connected = false;
        }
      }
    }
    if (connected) {
      platform::sleepMilliseconds(59 * kSecond);
      if (!shutdownBegun()) {
        try {
          CORBA::String_var answer = scripting->executeToString(kTick);
        } catch (...) {
          // a failed tick is dropped
        }
      }
    }
    if (!solverAlive()) {
      solverGoneUnconnected();
      return 0;
    }
  }
}

}  // namespace solvarium
