// The seam between the service core and a solver kind. The core names no
// kind: each kind describes itself in one SolverKindRecord that it registers
// (solvers/solver_kinds.cc lists them), and the record's factory makes the
// kind's root object, a SolverKind. The core reaches a kind through these
// two only.
//
// Ownership and threads: records are registered on the main thread before
// the service starts and live until the process ends (the registry keeps
// their addresses). The root object owns the three generic servants and is
// deleted by the server after the event loop has ended.
#ifndef SOLVARIUM_SERVICE_SOLVER_KIND_H_
#define SOLVARIUM_SERVICE_SOLVER_KIND_H_

#include <omniORB4/CORBA.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "service/environment.h"
#include "service/solver_kind_owner.h"

namespace solvarium {

// What the entry hands to the core and to a record's functions.
struct StartContext {
  int argc = 0;
  const char* const* argv = nullptr;  // the program's arguments
  Environment environment;            // as it was at start-up
};

// What a kind reads before the ORB starts (a solver description, say);
// handed to the record's later functions.
class KindSettings {
 public:
  virtual ~KindSettings() = default;
};

struct SolverKindRecord;

// The kind's root object: owns the generic servants (made with the record's
// texts), the state flags and the kind's own servant when there is one, runs
// the kind's interpreter and makes the final save. Kinds derive from it;
// every command reaches the interpreter through run().
class SolverKind : public SolverKindOwner {
 public:
  ~SolverKind() override;
  SolverKind(const SolverKind&) = delete;
  SolverKind& operator=(const SolverKind&) = delete;

  // The kind's own servant (its object of the kind's IDL module), activated
  // with the generic servants; null when the kind has none. Until then
  // neither it nor the generic servants may call _this().
  virtual PortableServer::ServantBase* kindServant() { return nullptr; }

  // The final save to "monitor.json", once after the event loop has ended,
  // through run(). Never throws: the kind reports a failure itself. False
  // when the save failed. None by default.
  virtual bool finalSave() { return true; }

  // What run() raises: the generic twins (for the generic servants and the
  // final save) or the kind module's own exceptions (for the kind's own IDL
  // operation, which raises those).
  enum class Raises { kGenericTwins, kKindModule };

  // The one way into the kind's interpreter, and the one catch of a command:
  // beforeCommand(), then interpret() under SerialCall. A C++ failure (a
  // failed allocation too, "std::bad_alloc") leaves as the record's
  // failure() (kKindModule) or a generic script error;
  // kGenericTwins: a kind-module exception as its generic twin. Answers a
  // fresh string (a null answer as "") the caller frees.
  char* run(const char* command, Raises raises = Raises::kGenericTwins);

  // IOR text of the published key: the kind's own servant, else the generic
  // solver unit.
  std::string publishedIor();
  // IOR text of the generic solver unit.
  std::string solverUnitIor();

  // SolverKindOwner. ownerIorText() is the IOR text of the kind's own
  // servant, else of the scripting servant.
  CORBA::ORB_ptr ownerOrb() final;
  std::string ownerIorText() final;
  StateFlags& stateFlags() final { return stateFlags_; }
  CInstantScripting* scriptingServant() final;
  CCoFileSystem* fileSystemServant() final;
  CCoSolverUnit* solverUnitServant() final;
  char* runCommand(const char* command) final { return run(command); }

 protected:
  // Creates the generic servants, which answer with `texts` (a copy is
  // kept; else the record's); run() translates as `record` says.
  SolverKind(CORBA::ORB_ptr orb, const SolverKindRecord& record, const KindTexts& texts);
  SolverKind(CORBA::ORB_ptr orb, const SolverKindRecord& record);

  // The kind's interpreter, called by run() only, under SerialCall. Answers
  // a fresh string the caller frees; raises the kind module's exceptions.
  virtual char* interpret(const char* command) = 0;
  // Work of a command that needs no shared state, run by run() before it
  // takes the lock, in the caller's thread (several may run at once): a
  // system call probing the solver process, say. A caller that already
  // holds SerialCall (the watcher's tick) runs it under the lock.
  virtual void beforeCommand() {}

 private:
  std::string iorText(CORBA::Object_ptr reference);

  CORBA::ORB_var orb_;
  const SolverKindRecord& record_;
  const KindTexts texts_;
  StateFlags stateFlags_;
  std::unique_ptr<CInstantScripting> scripting_;
  std::unique_ptr<CCoSolverUnit> solverUnit_;
  std::unique_ptr<CCoFileSystem> fileSystem_;
};

// One key file the service writes once the servants are active.
struct KeyFile {
  KeyFile(std::string fileName, bool ofSolverUnit = false, std::string printed = std::string())
      : name(std::move(fileName)), solverUnit(ofSolverUnit), printedAs(std::move(printed)) {}
  std::string name;
  bool solverUnit;        // the generic solver unit's reference; else the published key
  std::string printedAs;  // not empty: printed as "\n<printedAs>: \n<IOR>\n" first
};

// The solver's process id as a kind reads it at start-up.
struct StartPid {
  bool watched = true;  // false: nothing is watched, no tick is sent
  long pid = -1;        // -1: never alive
  std::string refusal;  // not empty: the text for the refusal file; the process ends with 1
};

// What the watcher calls on the running service, through a reference made
// from the published key (a local object).
class SolverLink {
 public:
  virtual ~SolverLink() = default;
  // Runs `command` through the kind's interpreter; what the call raises
  // passes on.
  virtual void execute(const char* command) = 0;
  // Asks the service to shut down; throws when the call fails.
  virtual void shutdown() = 0;
};

// How the watcher follows the solver of a kind; the timings are in
// milliseconds. A negative wait or a count below 1 keeps the watcher, and so
// the service, from starting.
struct WatchRule {
  enum class PidSource {
    kNone,        // no watcher
    kAtStart,     // pidAtStart, checked before the service starts
    kHandedOver,  // the kind hands it over later through solverPidBuffer()
  };
  PidSource source = PidSource::kNone;
  std::function<StartPid(const StartContext&, const KindSettings*)> pidAtStart;
  std::string refusalFile;  // receives StartPid::refusal

  long stepMs = 0;  // the wait that opens every round
  // kAtStart: once connected, every round waits this much more, then ticks.
  long tickDelayMs = 0;
  // kHandedOver: rounds count modulo cycleSteps; a tick every tickEverySteps
  // rounds; a pid or key is taken once seen in `sightings` rounds; without a
  // pid, the solver counts as gone when the count comes round to 0.
  int cycleSteps = 1;
  int tickEverySteps = 1;
  int sightings = 1;

  // When the solver has gone: shutdown() through the link, else (or when
  // not connected) the process ends with code 0.
  bool shutdownThroughKind = true;
  // The link from the key's object; null when it is not of the kind's type.
  // Unset: the generic solver unit's scripting object (no shutdown).
  std::function<std::unique_ptr<SolverLink>(CORBA::Object_ptr key)> connect;
};

// Everything the core needs of a kind.
struct SolverKindRecord {
  // The values of the first "-solver" option that choose the kind; without
  // one that chooses a kind, a program name (argv[0]) containing
  // programMarker does, in registration order.
  std::vector<std::string> solverOptions;
  std::string programMarker;
  std::string serverName;  // the ORB's program name and the start-up line's
  bool needsSessionManager = false;  // KORLEN_SESSION_MANAGER_SOCKET unset: exit code 1
  KindTexts texts;
  // Inside a catch block, rethrows the exception being handled, one of the
  // kind module's as its generic twin (solvers/generic_twins.h); null: none.
  void (*twins)() = nullptr;
  // Raises the kind module's own error for the C++ failure `what` of
  // `command` (Raises::kKindModule); null: a generic script error.
  void (*failure)(const char* command, const char* what) = nullptr;
  // Inside a catch block: the error text or prompt of the kind module's
  // exception being handled, for a log line; rethrows any other. Null: none.
  std::string (*failureText)() = nullptr;
  // The kind's lines of --help: its options and environment variables.
  std::string usage;
  std::function<std::vector<KeyFile>(const StartContext&)> keyFiles;
  WatchRule watch;
  // Optional: reads what the kind needs before the ORB starts; a fault ends
  // the process with exit code 1.
  std::function<std::unique_ptr<KindSettings>(const StartContext&)> readSettings;
  // Makes the root object with the service's ORB; throws StartupError when
  // it cannot.
  std::function<std::unique_ptr<SolverKind>(CORBA::ORB_ptr orb, const StartContext& context,
                                            const KindSettings* settings)>
      create;
};

// Registers `record` (kept by address) after those registered before; a
// record registered again stays where it was.
void registerSolverKind(const SolverKindRecord& record);

// The record that the arguments choose (see SolverKindRecord); null for
// none.
const SolverKindRecord* chooseSolverKind(int argc, const char* const* argv);

// The lines of --help that the registered kinds give, in registration order:
// each kind's -solver value and program name, options and environment.
std::string solverKindsUsage();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_KIND_H_
