// What the generic servants (CInstantScripting, CCoSolverUnit, CCoFileSystem)
// answer for a kind (KindTexts) and what they need of the object that owns
// them (SolverKindOwner): the kind's root object, see SolverKind. The owner
// creates its three generic servants, keeps them for its whole life and
// deletes them; the generic servants never free their owner.
#ifndef SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_
#define SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_

#include <omniORB4/CORBA.h>

#include <string>
#include <vector>

namespace solvarium {

class CInstantScripting;
class CCoFileSystem;
class CCoSolverUnit;

// The answers of the generic servants that differ from kind to kind.
struct KindTexts {
  std::string solverId;             // getSolverId
  std::string accessType;           // getAcessType of the solver unit and the scripting object
  std::string scriptingLanguageId;  // getScriptingLanguageId
  // "aaS_internal." commands answered with the owner's ownerIorText().
  std::vector<std::string> ownerIorCommands;
  // getCollaborativeSolverUnit: the unit the solver side announced
  // (collaborativeIorText()), else always "Collaborative aaS not available";
  // its errors carry collaborativeScope.
  bool collaborativeFromSolver = false;
  std::string collaborativeScope;
  // Not empty: getCollaborativeSolverUnit and getInstantSolverUnit raise
  // ENotSupported with this text instead.
  std::string unitNotSupported;
  std::string fileSystemScope;          // scope of the file-system errors
  std::string solverFilesNotSupported;  // ENotSupported text of the solver-file operations
  // getStatus answers the words of the kind's "aaS.get_status" answer
  // instead of the state flags that broadcasts set.
  bool statusFromCommand = false;
};

class SolverKindOwner {
 public:
  virtual ~SolverKindOwner() = default;

  // The service's ORB. Not duplicated: the owner keeps it for its whole life.
  virtual CORBA::ORB_ptr ownerOrb() = 0;

  // The kind's command interpreter, called directly in the process (not
  // through the ORB). Answers a fresh CORBA string that the caller frees;
  // raises only generic (KORLEN_AAS_v1_0_0) and system exceptions: the kind
  // translates its own module's exceptions into their generic twins.
  virtual char* interpretCommand(const char* command) = 0;

  // Called before a client's command takes the servants' serialising lock,
  // in the request's own thread (several may run at once): work of the
  // command that needs no shared state, such as a system call probing the
  // solver process, so that the lock is held only for the command itself.
  virtual void beforeCommand() {}

  // IOR text answered by the internal "..._exception_holder_ior" commands.
  // Called once, by the scripting servant on the first such command, after
  // every servant is activated.
  virtual std::string ownerIorText() = 0;

  // The owner's generic servants; non-null once the owner is constructed.
  virtual CInstantScripting* scriptingServant() = 0;
  virtual CCoFileSystem* fileSystemServant() = 0;
  virtual CCoSolverUnit* solverUnitServant() = 0;

  // The collaborative solver unit's IOR text that the solver side
  // announced; empty until then (KindTexts::collaborativeFromSolver).
  virtual std::string collaborativeIorText() { return std::string(); }
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_
