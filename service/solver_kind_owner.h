// What the generic servants (CInstantScripting, CCoSolverUnit, CCoFileSystem)
// need of the object that owns them: the servant of a solver kind (Brox,
// Talvo, Grend) or the UDF unit. The owner creates its three generic servants
// with its kind and `this`, keeps them for its whole life and deletes them in
// its destructor; the generic servants never free their owner.
#ifndef SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_
#define SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_

#include <omniORB4/CORBA.h>

#include <string>

namespace solvarium {

class CInstantScripting;
class CCoFileSystem;
class CCoSolverUnit;

// Solver kinds, chosen once at start-up.
enum SolverKindValue : int {
  kKindNone = 0,
  kKindBrox = 1,
  kKindTalvo = 2,
  kKindGrend = 3,
  kKindUdf = 4,
};

class SolverKindOwner {
 public:
  virtual ~SolverKindOwner() = default;

  // The service's ORB. Not duplicated: the owner keeps it for its whole life.
  virtual CORBA::ORB_ptr ownerOrb() = 0;

  // The kind's command interpreter, called directly in the process (not
  // through the ORB). Answers a fresh CORBA string that the caller frees;
  // raises the kind module's exceptions (CInstantScripting translates them).
  virtual char* interpretCommand(const char* command) = 0;

  // Called before a client's command takes the servants' serialising lock,
  // in the request's own thread (several may run at once): work of the
  // command that needs no shared state, such as a system call probing the
  // solver process, so that the lock is held only for the command itself.
  virtual void beforeCommand() {}

  // IOR text of the owner's own published reference (ICoBROXUnit,
  // ITalvoExceptionHolder, ICoGrendUnit), answered by the internal
  // "..._exception_holder_ior" commands. Called once, by the scripting
  // servant on the first such command, after every servant is activated.
  // The UDF unit is never asked (its scripting servant's own IOR is used).
  virtual std::string ownerIorText() = 0;

  // The owner's generic servants; non-null once the owner is constructed.
  virtual CInstantScripting* scriptingServant() = 0;
  virtual CCoFileSystem* fileSystemServant() = 0;
  virtual CCoSolverUnit* solverUnitServant() = 0;

  // Talvo, Grend: the collaborative solver unit's IOR text, empty until the
  // solver side has announced one.
  virtual std::string collaborativeIorText() { return std::string(); }

  // UDF only: the description's "solverName" and "accessType" values.
  virtual std::string udfSolverName() { return std::string(); }
  virtual std::string udfAccessType() { return std::string(); }
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_
