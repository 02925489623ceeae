#include "solvers/udf/udf_unit.h"

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/generic_servants.h"
#include "service/instant_scripting.h"
#include "solvers/udf/python_bridge.h"

namespace AAS_UDF {

UdfSolverUnit::UdfSolverUnit(CORBA::ORB_ptr orbIn, const CAasUdfXmlHandler& description)
    : orb(CORBA::ORB::_duplicate(orbIn)),
      minuteCounter(0),
      autoSavePeriod(60),
      scripting(nullptr),
      solverUnit(nullptr),
      fileSystem(nullptr) {
  solvarium::createGenericServants(solvarium::kKindUdf, this, &scripting, &solverUnit,
                                   &fileSystem);
  commandMacros = description.commandMacros;
  for (const auto& entry : commandMacros) supportedCommands.insert(entry.first);
  supportedCommands.insert("aaS.suggest");
  commandTypes = description.commandTypes;
  commandInputs = description.commandInputs;
  commandOutputs = description.commandOutputs;
  pythonHome = description.pythonHome;
  pythonDllFile = description.pythonDllFile;
  pythonMainFile = description.pythonMainFile;
  accessType = description.accessType;
  solverDescription = description.solverDescription;
  solverName = description.solverName;
  solverPid = description.solverPid;
  // A failure here ends the start-up; the servants are not activated yet.
  try {
    initializePythonEnvironment(pythonHome, pythonDllFile, pythonMainFile);
  } catch (...) {
    solvarium::deleteGenericServants(&scripting, &solverUnit, &fileSystem);
    throw;
  }
}

UdfSolverUnit::~UdfSolverUnit() {
  solvarium::deleteGenericServants(&scripting, &solverUnit, &fileSystem);
}

}  // namespace AAS_UDF
