#include "solvers/udf/udf_unit.h"

#include "solvers/udf/python_bridge.h"
#include "solvers/udf/udf_kind.h"

namespace AAS_UDF {

namespace {

// The kind's texts with the description's solver name and access type.
solvarium::KindTexts describedTexts(const CAasUdfXmlHandler& description) {
  solvarium::KindTexts texts = udfKind().texts;
  texts.solverId = description.solverName;
  texts.accessType = description.accessType;
  return texts;
}

}  // namespace

UdfSolverUnit::UdfSolverUnit(CORBA::ORB_ptr orb, const CAasUdfXmlHandler& description)
    : SolverKind(orb, udfKind(), describedTexts(description)),
      pythonHome_(description.pythonHome),
      pythonDllFile_(description.pythonDllFile),
      pythonMainFile_(description.pythonMainFile),
      commandMacros_(description.commandMacros),
      commandInputs_(description.commandInputs),
      commandOutputs_(description.commandOutputs) {
  for (const auto& entry : commandMacros_) supportedCommands_.insert(entry.first);
  supportedCommands_.insert("aaS.suggest");
  // A failure here ends the start-up; the servants are not activated yet.
  initializePythonEnvironment(pythonHome_, pythonDllFile_, pythonMainFile_);
}

UdfSolverUnit::~UdfSolverUnit() = default;

}  // namespace AAS_UDF
