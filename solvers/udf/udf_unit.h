// UdfSolverUnit: the UDF kind's counterpart of a kind servant. It is no
// CORBA servant: clients reach it through the three generic servants it
// creates and owns (CInstantScripting, CCoSolverUnit, CCoFileSystem), which
// call its command interpreter and read its solver name and access type.
// Its commands run the Python macros that the description configures.
//
// Created once by the UDF kind with the description; deletes its servants
// in its destructor. Commands arrive one at a time: the generic servants
// that call it run each operation under SerialCall.
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_

#include <omniORB4/CORBA.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "service/solver_kind_owner.h"
#include "solvers/udf/udf_description_handler.h"

namespace AAS_UDF {

class UdfSolverUnit : public solvarium::SolverKindOwner {
 public:
  // Creates the generic servants, copies the description and starts Python
  // (raises the bridge's EScriptGenericError when it cannot start).
  UdfSolverUnit(CORBA::ORB_ptr orb, const CAasUdfXmlHandler& description);
  ~UdfSolverUnit() override;
  UdfSolverUnit(const UdfSolverUnit&) = delete;
  UdfSolverUnit& operator=(const UdfSolverUnit&) = delete;

  // The command interpreter. Answers a fresh string the caller frees; raises
  // the generic EUnknown, EReadUnquotedString and EScriptGenericError, and
  // the Brox module's EKorlenInvalidArgument for a forbidden character.
  char* executeCommandToString(const char* command);

  // SolverKindOwner.
  CORBA::ORB_ptr ownerOrb() override { return orb.in(); }
  char* interpretCommand(const char* command) override { return executeCommandToString(command); }
  std::string ownerIorText() override { return std::string(); }
  solvarium::CInstantScripting* scriptingServant() override { return scripting; }
  solvarium::CCoFileSystem* fileSystemServant() override { return fileSystem; }
  solvarium::CCoSolverUnit* solverUnitServant() override { return solverUnit; }
  std::string udfSolverName() override { return solverName; }
  std::string udfAccessType() override { return accessType; }

  CORBA::ORB_var orb;
  int32_t minuteCounter;
  int32_t autoSavePeriod;
  solvarium::CInstantScripting* scripting;  // owned
  solvarium::CCoSolverUnit* solverUnit;     // owned
  solvarium::CCoFileSystem* fileSystem;     // owned
  std::string solverName;
  std::string solverDescription;
  std::string accessType;
  std::string pythonHome;
  std::string pythonDllFile;
  std::string pythonMainFile;
  std::string solverPid;
  std::set<std::string> supportedCommands;
  CommandTable commandMacros;
  CommandTable commandTypes;
  CommandTable commandInputs;
  CommandTable commandOutputs;

 private:
  using Tokens = std::vector<std::string_view>;  // into the command's text
  std::string getenvCommand(const std::string& command, const Tokens& tokens);
  std::string implementsCommand(const std::string& command, const Tokens& tokens);
  std::string suggestCommand(const std::string& command, const Tokens& tokens);
  // Runs the macro of a configured command. True with `answer` set for the
  // output kinds "output" and "stdout"; false for any other output kind.
  bool runMacro(const std::string& command, const Tokens& tokens, std::string* answer);
};

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_
