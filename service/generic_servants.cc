#include "service/generic_servants.h"

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/instant_scripting.h"

namespace solvarium {

void createGenericServants(int kind, SolverKindOwner* owner, CInstantScripting** scripting,
                           CCoSolverUnit** solverUnit, CCoFileSystem** fileSystem) {
  *scripting = nullptr;
  *solverUnit = nullptr;
  *fileSystem = nullptr;
  try {
    *scripting = new CInstantScripting(kind, owner);
    *solverUnit = new CCoSolverUnit(kind, owner);
    *fileSystem = new CCoFileSystem(kind, owner);
  } catch (...) {
    deleteGenericServants(scripting, solverUnit, fileSystem);
    throw;
  }
}

void deleteGenericServants(CInstantScripting** scripting, CCoSolverUnit** solverUnit,
                           CCoFileSystem** fileSystem) {
  delete *fileSystem;
  *fileSystem = nullptr;
  delete *solverUnit;
  *solverUnit = nullptr;
  delete *scripting;
  *scripting = nullptr;
}

}  // namespace solvarium
