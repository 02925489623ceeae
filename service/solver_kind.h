// SolverKind: what the solver object needs of one solver kind (Brox, Talvo,
// Grend, UDF). Each kind registers a factory for its kind number; the solver
// object creates the kind through it, so the core names no kind's code.
//
// Ownership: the object a factory returns owns the kind's servant (and through
// it the three generic servants) and deletes it in its destructor. Main thread
// only; registration happens once, before the ORB starts.
#ifndef SOLVARIUM_SERVICE_SOLVER_KIND_H_
#define SOLVARIUM_SERVICE_SOLVER_KIND_H_

#include <omniORB4/CORBA.h>

#include <functional>
#include <memory>
#include <string>

#include "service/environment.h"
#include "service/solver_kind_owner.h"
#include "service/udf_description.h"

namespace solvarium {

class SolverKind {
 public:
  virtual ~SolverKind() = default;

  // The kind servant (or UDF unit) that owns the generic servants.
  virtual SolverKindOwner* owner() = 0;

  // The kind's own servant (ICoBROXUnit, ITalvoExceptionHolder,
  // ICoGrendUnit), activated by the solver object with the generic
  // servants; null for the UDF kind, which has none. Until then neither it
  // nor the generic servants may call _this().
  virtual PortableServer::ServantBase* kindServant() = 0;

  // IOR text of the reference published as the key: the kind's own servant
  // (ICoBROXUnit, ITalvoExceptionHolder, ICoGrendUnit) or, for the UDF
  // kind, its generic solver unit.
  virtual std::string publishedIor() = 0;

  // The final save to "monitor.json" through the kind's own interpreter,
  // called once after the event loop has ended. Answers a fresh string the
  // caller frees; what it throws is reported by the server object.
  virtual char* saveMonitorsJson() = 0;
};

// Creates the kind's servant with the service's ORB; `udf` is the solver
// description for the UDF kind, null for the others; `environment` the one
// read at start-up. Throws a std::string (or the kind's own exceptions) when
// the servant cannot be created.
using SolverKindFactory = std::function<std::unique_ptr<SolverKind>(
    CORBA::ORB_ptr orb, const UdfDescription* udf, const Environment& environment)>;

// Registers (or replaces) the factory of `kind` (1..4).
void registerSolverKind(int kind, SolverKindFactory factory);

// True when a factory is registered for `kind`.
bool isSolverKindRegistered(int kind);

// Creates the kind through its factory; null when none is registered.
std::unique_ptr<SolverKind> createSolverKind(int kind, CORBA::ORB_ptr orb,
                                             const UdfDescription* udf,
                                             const Environment& environment);

// Registers every kind built into the program. Defined beside the kinds
// (solvers/solver_kinds.cc), called once by the program entry.
void registerSolverKinds();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVER_KIND_H_
