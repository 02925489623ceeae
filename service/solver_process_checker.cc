#include "service/solver_process_checker.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <exception>
#include <utility>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/diagnostics.h"
#include "service/instant_scripting.h"
#include "service/process_exit.h"
#include "service/servant_poa.h"
#include "service/service_log.h"
#include "service/solver_process_hold.h"
#include "service/watcher_buffers.h"

namespace solvarium {

namespace {

using PidSource = WatchRule::PidSource;

// How long the orderly shutdown waits for SerialCall's lock, in polls.
constexpr long kShutdownLockPollMs = 100;
constexpr int kShutdownLockPolls = 50;

class SteadyClock : public WatchClock {
 public:
  bool wait(long ms) override {
    std::unique_lock<std::mutex> lock(mutex_);
    return !wake_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
  }
  void interrupt() override {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;  // guarded by mutex_
};

// Why `rule`'s timings cannot be followed; "" when they can.
std::string unusableTimings(const WatchRule& rule) {
  if (rule.stepMs < 0 || rule.tickDelayMs < 0) return "a negative wait";
  if (rule.cycleSteps < 1 || rule.tickEverySteps < 1 || rule.sightings < 1) {
    return "a step count below 1";
  }
  return "";
}

// SerialCall's lock when no request holds it; never waits.
std::unique_lock<std::recursive_mutex> lockIfFree() {
  return std::unique_lock<std::recursive_mutex>(servantCallMutex(), std::try_to_lock);
}

// The ORB of the process (a second ORB_init answers the service's own ORB);
// it is never destroyed here.
CORBA::ORB_ptr watcherOrb() {
  int argc = 0;
  return CORBA::ORB_init(argc, nullptr, "omniORB4");
}

// A failed call of the watcher's: one line on stderr. A C++ exception of a
// local call is caught too, so that it never ends the watcher's thread.
void reportFailure(const char* what, const char* cause) {
  solvarium::diagnostic("Solver watcher: %s failed: %s\n", what, cause);
}

// A kind without an object of its own: the generic solver unit's scripting
// object. It cannot shut the service down.
class ScriptingLink : public SolverLink {
 public:
  explicit ScriptingLink(KORLEN_AAS_v1_0_0::Solvers::ICoScripting_ptr scripting)
      : scripting_(scripting) {}
  void execute(const char* command) override {
    CORBA::String_var answer = scripting_->executeToString(command);
  }
  void shutdown() override { throw CORBA::NO_IMPLEMENT(); }

 private:
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting_;
};

std::unique_ptr<SolverLink> scriptingLink(CORBA::Object_ptr key) {
  using KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit;
  ICoSolverUnit::_var_type unit = ICoSolverUnit::_narrow(key);
  if (CORBA::is_nil(unit.in())) return nullptr;
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_ptr scripting = unit->getCommandScripting();
  if (CORBA::is_nil(scripting)) return nullptr;
  return std::unique_ptr<SolverLink>(new ScriptingLink(scripting));
}

}  // namespace

CSolverProcessChecker::CSolverProcessChecker(WatchRule rule, WatchClock* clock)
    : rule_(std::move(rule)),
      ownClock_(clock != nullptr ? nullptr : new SteadyClock),
      clock_(clock != nullptr ? clock : ownClock_.get()) {}

CSolverProcessChecker::~CSolverProcessChecker() { stop(); }

void CSolverProcessChecker::checkProcessId(const StartContext& context,
                                           const KindSettings* settings) {
  if (rule_.source == PidSource::kHandedOver) watched_ = true;
  if (rule_.source != PidSource::kAtStart) return;
  const StartPid pid = rule_.pidAtStart(context, settings);
  if (!pid.refusal.empty()) {
    appendText(rule_.refusalFile, pid.refusal);
    endProcess(kExitStartFailed);
  }
  if (!pid.watched) return;
  watched_ = true;
  solverPid_ = pid.pid;
  solver_ = holdSolverProcess(pid.pid);
}

bool CSolverProcessChecker::start() {
  if (!watched_) return true;
  const std::string unusable = unusableTimings(rule_);
  if (!unusable.empty()) {
    solvarium::diagnostic("Solver watcher: the watch rule has %s\n", unusable.c_str());
    return false;
  }
  try {
    thread_ = std::thread([this] {
      if (rule_.source == PidSource::kHandedOver) {
        watchHandedOverPid();
      } else {
        watchPidAtStart();
      }
    });
  } catch (const std::exception& e) {
    solvarium::diagnostic("Solver watcher: %s\n", e.what());
    return false;
  }
  return true;
}

void CSolverProcessChecker::stop() {
  clock_->interrupt();
  if (thread_.joinable()) thread_.join();
}

bool CSolverProcessChecker::solverAlive() const { return solver_ && solver_->alive(); }

void CSolverProcessChecker::connect() {
  const std::unique_lock<std::recursive_mutex> serial = lockIfFree();
  if (!serial.owns_lock()) return;
  try {
    CORBA::ORB_var orb = watcherOrb();
    CORBA::Object_var key = orb->string_to_object(solverUnitKeyBuffer().get().c_str());
    link_ = rule_.connect ? rule_.connect(key.in()) : scriptingLink(key.in());
  } catch (const CORBA::Exception&) {
    link_.reset();  // not connected yet: tried again next round
  } catch (const std::exception& e) {
    reportFailure("connecting", e.what());
    link_.reset();
  }
}

void CSolverProcessChecker::tick() {
  if (shutdownBegun()) return;
  const std::unique_lock<std::recursive_mutex> serial = lockIfFree();
  if (!serial.owns_lock()) return;  // a request runs: this tick is dropped
  try {
    link_->execute(kTickCommand);
  } catch (const CORBA::Exception& e) {
    reportFailure("the minute tick", e._name());  // dropped; the next one follows
  } catch (const std::exception& e) {
    reportFailure("the minute tick", e.what());
  }
}

std::string CSolverProcessChecker::goneReason() const {
  if (solverPid_ <= 0) return "the solver's process id is no process id";
  return "solver process " + std::to_string(solverPid_) + " has gone";
}

void CSolverProcessChecker::solverGone(std::string why) {
  // Once shutdown has begun, only the lock is waited for: a free one lets
  // the orderly end go on, within its deadline.
  if (rule_.shutdownThroughKind && (link_ || shutdownBegun())) {
    std::unique_lock<std::recursive_mutex> serial = lockIfFree();
    for (int poll = 0; !serial.owns_lock() && poll < kShutdownLockPolls; ++poll) {
      if (!wait(kShutdownLockPollMs)) return;
      serial.try_lock();
    }
    if (serial.owns_lock() && shutdownBegun()) return;
    if (serial.owns_lock()) {
      try {
        link_->shutdown();
        solvarium::diagnostic("Solver watcher: %s: shutting the service down\n", why.c_str());
        return;
      } catch (const CORBA::Exception& e) {
        reportFailure("shutdown", e._name());
      } catch (const std::exception& e) {
        reportFailure("shutdown", e.what());
      }
      serial.unlock();
      if (!wait(2000)) return;
    } else {
      why += " and a request has kept the lock for 5 s";
    }
  }
  if (!claimTheEnd()) return;  // the final save runs
  solvarium::diagnostic("Solver watcher: %s: ending the process\n", why.c_str());
  endProcess(kExitNormal);
}

// A pid known at start-up: a round of rule_.stepMs; once connected,
// tickDelayMs more and a tick. The solver is checked after each wait, before
// the tick.
void CSolverProcessChecker::watchPidAtStart() {
  for (;;) {
    if (!wait(rule_.stepMs)) return;
    if (!link_ && !solverUnitKeyBuffer().empty()) connect();
    if (!solverAlive()) return solverGone(goneReason());
    if (!link_) continue;
    if (rule_.tickDelayMs > 0) {
      if (!wait(rule_.tickDelayMs)) return;
      if (!solverAlive()) return solverGone(goneReason());
    }
    tick();
  }
}

// A pid handed over: rounds of rule_.stepMs, counted modulo cycleSteps; the
// pid and the key are each taken once seen in `sightings` rounds, and the
// solver is checked before the tick.
void CSolverProcessChecker::watchHandedOverPid() {
  int step = 0;
  int pidSightings = 0;
  int keySightings = 0;
  bool pidKnown = false;
  for (;;) {
    if (!wait(rule_.stepMs)) return;
    step = (step + 1) % rule_.cycleSteps;
    if (!pidKnown && !solverPidBuffer().empty() && ++pidSightings >= rule_.sightings) {
      // The hold taken on the hand-over (a pid that does not parse: never alive).
      platform::parsePid(solverPidBuffer().get(), &solverPid_);
      solver_ = holdSolverProcess(solverPid_);
      pidKnown = true;
    }
    if (pidKnown && !solverAlive()) return solverGone(goneReason());
    if (!pidKnown && step == 0) {
      return solverGone("no solver process id was handed over in " +
                        std::to_string(rule_.stepMs * rule_.cycleSteps / 1000) + " s");
    }
    if (!link_ && !solverUnitKeyBuffer().empty() && ++keySightings >= rule_.sightings) {
      connect();
    }
    if (link_ && step % rule_.tickEverySteps == 0) tick();
  }
}

}  // namespace solvarium
