// UdfSolverUnit::interpret: the UDF command interpreter.
#include <cstdlib>
#include <cstring>
#include <new>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "common/command_table.h"
#include "common/command_tokenizer.h"
#include "common/utf8_text.h"
#include "solvers/udf/python_bridge.h"
#include "solvers/udf/udf_unit.h"

namespace AAS_UDF {

namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace BE = AAS_CORBA::BROXInstant::Exceptions;

// Characters refused in the command name; arguments refuse the full stop too.
const char kSpecialCharacters[] = "%^&<>|'`;=()!\"\\[]*?";

GE::EUnknown unknownError(const char* description) {
  return GE::EUnknown(1, description, "", "", "", "");
}

GE::EScriptGenericError scriptError(const std::string& command, const std::string& info,
                                    const std::string& output) {
  return GE::EScriptGenericError(1, command.c_str(), info.c_str(), output.c_str());
}

BE::EKorlenInvalidArgument invalidArgument(const std::string& command, const char* description,
                                           std::size_t position) {
  const std::string moreInfo = "Command:\n" + command;
  return BE::EKorlenInvalidArgument(1, description, "Instant aaS UDF", "ICoScriptingUnit",
                                    "executeCommandToString", moreInfo.c_str(),
                                    solvarium::clampPosition(position));
}

// Raises the invalid-argument error for the first token holding a special
// character (a full stop counts in the arguments only).
void checkSpecialCharacters(const std::string& command,
                            const std::vector<std::string_view>& tokens) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    for (char c : tokens[i]) {
      if ((c != '\0' && std::strchr(kSpecialCharacters, c) != nullptr) || (i > 0 && c == '.')) {
        throw invalidArgument(command, "Invalid special character", i);
      }
    }
  }
}

// Refuses an argument that is not UTF-8 text; the macro gets each as str.
void checkArguments(const std::string& command, const std::vector<std::string_view>& tokens) {
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (!solvarium::isValidUtf8(tokens[i])) throw invalidArgument(command, "Invalid UTF-8 text", i);
  }
}

// The argument list as the error texts show it: "[" then each argument in
// double quotes, separated by ",", then "]".
std::string argumentListText(const std::vector<std::string_view>& tokens) {
  std::string list = "[";
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    if (i > 1) list += ",";
    list += '"';
    list += tokens[i];
    list += '"';
  }
  return list + "]";
}

std::string printedOutput(const std::string& out, const std::string& err) {
  std::string text;
  if (!out.empty()) text += "\nstdout:\n" + out + "\n";
  if (!err.empty()) text += "\nstderr:\n" + err + "\n";
  return text;
}

}  // namespace

char* UdfSolverUnit::interpret(const char* commandText) {
  if (commandText == nullptr) throw unknownError("Uninstantiated aaS UDF command");
  std::string command;
  Tokens tokens;
  try {
    command = commandText;
    tokens = solvarium::splitAtBlanks(command);
  } catch (const std::bad_alloc&) {
    throw unknownError("Not enough memory!");
  }
  if (tokens.empty()) throw unknownError("Empty aaS UDF command");
  checkSpecialCharacters(command, tokens);

  using Handler = std::string (UdfSolverUnit::*)(const std::string&, const Tokens&);
  using solvarium::RowKind;
  // In the order tested; a command that no row takes runs its macro.
  static const solvarium::CommandRow<Handler> kCommands[] = {
      {solvarium::kTickCommand, &UdfSolverUnit::tickCommand, RowKind::kUnlisted},
      {"aaS.getenv", &UdfSolverUnit::getenvCommand, RowKind::kUnlisted},
      {solvarium::kImplementsPrefix, &UdfSolverUnit::implementsCommand, RowKind::kPrefix},
  };
  const auto* row = solvarium::findCommand(kCommands, std::string(tokens[0]));
  const Handler handler = row != nullptr ? row->handler : &UdfSolverUnit::macroCommand;
  return CORBA::string_dup((this->*handler)(command, tokens).c_str());
}

// Nothing to count: the kind saves nothing.
std::string UdfSolverUnit::tickCommand(const std::string&, const Tokens&) { return ""; }

std::string UdfSolverUnit::getenvCommand(const std::string& command, const Tokens& tokens) {
  if (tokens.size() < 2) {
    throw GE::EReadUnquotedString(2, "Please provide name of environment variable", "", "", "");
  }
  if (tokens.size() > 2) {
    throw scriptError(command, "Invalid command[" + std::string(tokens[2]) + "]", "");
  }
  const std::string variable(tokens[1]);
  const char* value = std::getenv(variable.c_str());
  if (value == nullptr || *value == '\0') {
    throw GE::EUnknown(value == nullptr ? 1 : 2, "Environment variable does not exist!",
                       "AAS_UDF Instant aaS", "ICoAasUdfUnit",
                       "executeCommandToString('aaS.get_env')", variable.c_str());
  }
  return value;
}

std::string UdfSolverUnit::implementsCommand(const std::string& command, const Tokens& tokens) {
  const std::string asked(tokens[0].substr(sizeof solvarium::kImplementsPrefix - 1));
  if (asked.empty()) {
    throw scriptError(command,
                      "Please provide the name of aaS command you are checking for existence, "
                      "e.g.:\naaS.implements.pause",
                      "");
  }
  if (tokens.size() > 1) throw scriptError(command, "This command does not have parameters.", "");
  if (commandMacros_.count("aaS." + asked) == 0) return "False";
  static const char* const kTogether[] = {"pause", "continue", "get_paused_index"};
  for (const char* member : kTogether) {
    if (asked != member) continue;
    for (const char* other : kTogether) {
      if (commandMacros_.count(std::string("aaS.") + other) == 0) return "False";
    }
  }
  return "True";
}

std::string UdfSolverUnit::suggestCommand(const std::string& command, const Tokens& tokens) {
  if (tokens[0] != "aaS.suggest") throw scriptError(command, "Unknown instant aaS command", "");
  if (tokens.size() > 1) {
    throw scriptError(command, "Default aaS.suggest does not support parameters.", "");
  }
  std::string answer;
  for (const std::string& name : supportedCommands_) answer += name + "\n";
  return answer;
}

std::string UdfSolverUnit::macroCommand(const std::string& command, const Tokens& tokens) {
  std::string answer;
  return runMacro(command, tokens, &answer) ? answer : suggestCommand(command, tokens);
}

bool UdfSolverUnit::runMacro(const std::string& command, const Tokens& tokens,
                             std::string* answer) {
  const std::string name(tokens[0]);
  if (commandMacros_.count(name) == 0) return false;
  const std::string& macro = valueOf(commandMacros_, name);
  const std::string& output = valueOf(commandOutputs_, name);
  const bool withArguments = valueOf(commandInputs_, name) == "argv";
  if (withArguments) checkArguments(command, tokens);
  initializePythonEnvironment(pythonHome_, pythonDllFile_, pythonMainFile_);

  const MacroArguments arguments{tokens.data() + 1, tokens.data() + tokens.size()};
  const MacroRun run =
      runPythonMacro(macro, withArguments ? &arguments : nullptr, output == "output");
  const std::string& out = run.out;
  const std::string& err = run.err;
  // The call as the error texts show it, made only for them.
  const auto call = [&] {
    return macro + "(" + (withArguments ? argumentListText(tokens) : "") + ")";
  };
  const auto failed = [&] { return "ERROR!\n" + call() + " failed!\n" + printedOutput(out, err); };

  if (output == "output") {
    if (!run.hasResult) throw scriptError(command, failed(), "");
    if (!run.resultIsText) {
      throw scriptError(command,
                        "ERROR!\n" + call() + " returned a non-string result\n" +
                            "\nResult Type is <" + run.resultTypeName + ">\n",
                        run.resultValueText);
    }
    if (!run.resultReadable) {
      throw scriptError(command,
                        "ERROR!\n" + call() + " returned a result that is not UTF-8 text\n", "");
    }
    if (!err.empty()) {
      throw scriptError(command, "ERROR:\n\n" + err,
                        run.resultText + "\n\nADDITIONAL OUTPUT:\n\n" + out);
    }
    if (!run.succeeded) throw scriptError(command, failed(), "");
    if (!out.empty()) throw scriptError(command, "WARNING:\n\n" + out, run.resultText);
    *answer = run.resultText;
    return true;
  }
  if (output == "stdout") {
    if (!err.empty()) throw scriptError(command, err, out);
    if (!run.succeeded) throw scriptError(command, failed(), out);
    *answer = out;
    return true;
  }
  return false;
}

}  // namespace AAS_UDF
