// The embedded Python of the UDF kind: the interpreter is started in steps
// from the library that the description names (loaded with RTLD_GLOBAL,
// never unloaded once started), its standard output and error are replaced
// by two capture objects ("aasStdOut", "aasStdErr" in the main module), and
// the solver's main file runs once. Macros then run in the main module.
//
// Process-wide state; each call takes the interpreter's lock (GIL) for its
// own duration, so calls may come from any thread, one at a time. Every
// failure appends a text to the UDF error file and raises
// KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError with errorType 1.
// Python's SystemExit is reported like any other exception, never obeyed.
#ifndef SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_
#define SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_

#include <string>
#include <string_view>

namespace AAS_UDF {

// Starts the interpreter, resuming at the first step not yet done: the
// library file exists (regular file), it loads, its entry points bind and
// its version is the headers' major.minor, the interpreter starts with
// `pythonHome` as home and without signal handlers, the captures are
// installed, the main file runs (the captures are then emptied). Once ready,
// returns at once after checking that no argument is empty.
void initializePythonEnvironment(const std::string& pythonHome, const std::string& pythonDllFile,
                                 const std::string& pythonMainFile);

// Reads what the captures gathered into `out` and `err` and empties both,
// even when one cannot be read. A pending Python error is printed into the
// error capture first. Returns true.
bool retrievePythonOutput(std::string* out, std::string* err);

// Outcome of one macro run.
struct MacroRun {
  bool succeeded = false;       // the text ran without a Python exception
  bool hasResult = false;       // "aas_3p_result" exists afterwards (when asked)
  bool resultIsText = false;    // it is a str (or of a subclass)
  bool resultReadable = false;  // its text could be read as UTF-8
  std::string resultText;
  std::string resultTypeName;   // its type's name; "NULL" when it has none
  std::string resultValueText;  // a non-text result's "value" attribute as text, else ""
};

// The strings a macro receives as one Python list, in order; each must be
// valid UTF-8. They are read during the call only.
struct MacroArguments {
  const std::string_view* begin = nullptr;
  const std::string_view* end = nullptr;
};

// Calls `macro` in the main module after removing "aas_3p_result" from it:
// "macro()", or with `arguments` "macro(list)" where the list of str is bound
// to a name of the bridge's own for the call only. An exception's traceback
// goes to the error capture. With `wantResult` the value is assigned to
// "aas_3p_result" and read back. The interpreter must be ready.
MacroRun runPythonMacro(const std::string& macro, const MacroArguments* arguments, bool wantResult);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_
