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

#include "common/state_flags.h"
#include "service/servant_poa.h"

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

  // Runs `command` through the kind's interpreter in this process, under
  // SerialCall (see SolverKind::run). Answers a fresh CORBA string that the
  // caller frees; raises only generic (KORLEN_AAS_v1_0_0) and system
  // exceptions.
  virtual char* runCommand(const char* command) = 0;

  // IOR text answered by the internal "..._exception_holder_ior" commands,
  // once every servant is activated: the scripting servant asks on the first
  // such command, and SolverKind::publishedIor() for the published key.
  virtual std::string ownerIorText() = 0;

  // The state flags that the kind's broadcasts and liveness checks write and
  // getStatus reads; under SerialCall.
  virtual StateFlags& stateFlags() = 0;

  // The owner's generic servants; non-null once the owner is constructed.
  virtual CInstantScripting* scriptingServant() = 0;
  virtual CCoFileSystem* fileSystemServant() = 0;
  virtual CCoSolverUnit* solverUnitServant() = 0;

  // The collaborative solver unit's IOR text that the solver side
  // announced; empty until then (KindTexts::collaborativeFromSolver).
  virtual std::string collaborativeIorText() { return std::string(); }
};

// Base of a generic servant that answers with `texts` (which must outlive it)
// for `owner`, which creates it and is not owned.
template <class Skeleton>
class OwnedServant : public Servant<Skeleton> {
 public:
  OwnedServant(const KindTexts& texts, SolverKindOwner* owner) : texts_(texts), owner_(owner) {}

 protected:
  const KindTexts& texts_;
  SolverKindOwner* owner_;  // not owned
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_KIND_OWNER_H_
