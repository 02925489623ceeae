// UdfSolverUnit: the UDF kind's root object (a solvarium::SolverKind, which
// owns the three generic servants). It has no servant of its own: clients
// reach it through the generic servants, which call its command interpreter
// and answer the description's solver name and access type. Its commands
// run the Python macros that the description configures.
//
// Created once by the UDF kind's record with the description. Commands
// arrive one at a time, through SolverKind::run() under SerialCall. No final
// save: "monitor.json" holds a full stop, which UDF refuses in an argument.
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_

#include <omniORB4/CORBA.h>

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "service/solver_kind.h"
#include "solvers/udf/udf_description_handler.h"

namespace AAS_UDF {

class UdfSolverUnit : public solvarium::SolverKind {
 public:
  // Creates the generic servants, copies the description and starts Python
  // (raises the bridge's EScriptGenericError when it cannot start).
  UdfSolverUnit(CORBA::ORB_ptr orb, const CAasUdfXmlHandler& description);
  ~UdfSolverUnit() override;

 private:
  // The command interpreter, reached through SolverKind::run() only. Answers
  // a fresh string the caller frees; raises the generic EUnknown,
  // EReadUnquotedString and EScriptGenericError, and the Brox module's
  // EKorlenInvalidArgument for a forbidden character.
  char* interpret(const char* command) override;
  using Tokens = std::vector<std::string_view>;  // into the command's text
  std::string tickCommand(const std::string& command, const Tokens& tokens);
  std::string getenvCommand(const std::string& command, const Tokens& tokens);
  std::string implementsCommand(const std::string& command, const Tokens& tokens);
  std::string suggestCommand(const std::string& command, const Tokens& tokens);
  // The configured macro of the command, else "aaS.suggest" or an error.
  std::string macroCommand(const std::string& command, const Tokens& tokens);
  // Runs the macro of a configured command. True with `answer` set for the
  // output kinds "output" and "stdout"; false for any other output kind and
  // for a command without a macro.
  bool runMacro(const std::string& command, const Tokens& tokens, std::string* answer);

  std::string pythonHome_;
  std::string pythonDllFile_;
  std::string pythonMainFile_;
  std::set<std::string> supportedCommands_;
  CommandTable commandMacros_;
  CommandTable commandInputs_;
  CommandTable commandOutputs_;
};

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_UNIT_H_
