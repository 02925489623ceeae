// The three generic servants that every kind owner (kind servant or UDF unit)
// creates with its kind and itself, and deletes in its destructor.
#ifndef SOLVARIUM_SERVICE_GENERIC_SERVANTS_H_
#define SOLVARIUM_SERVICE_GENERIC_SERVANTS_H_

#include "service/solver_kind_owner.h"

namespace solvarium {

// Creates the scripting servant, the solver unit and the file system, in this
// order, into the three pointers. All or nothing: when a constructor throws,
// the servants already made are deleted, the pointers are null again and the
// exception passes on.
void createGenericServants(int kind, SolverKindOwner* owner, CInstantScripting** scripting,
                           CCoSolverUnit** solverUnit, CCoFileSystem** fileSystem);

// Deletes the three servants and sets the pointers to null.
void deleteGenericServants(CInstantScripting** scripting, CCoSolverUnit** solverUnit,
                           CCoFileSystem** fileSystem);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_GENERIC_SERVANTS_H_
