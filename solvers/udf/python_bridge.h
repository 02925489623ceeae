// The embedded Python of the UDF kind: the interpreter is started in steps
// from the library that the description names (loaded with RTLD_GLOBAL,
// never unloaded once started), its standard output and error are replaced
// by two capture objects ("aasStdOut", "aasStdErr" in the main module, which
// the bridge holds itself), and the solver's main file runs once. Macros are
// then looked up by name and called.
//
// Process-wide state; each call takes the interpreter's lock (GIL) for its
// own duration, so calls may come from any thread, one at a time, and puts
// back descriptors 0, 1 and 2 that Python closed or replaced meanwhile. A
// failure to start or to read the captures appends a text to the UDF error
// file and raises KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError with
// errorType 1; a macro's own failure is reported in its MacroRun. Python's
// SystemExit is reported like any other exception, never obeyed. The
// captures gather only what the calling thread prints during a call; other
// threads' lines go to the service's stderr as diagnostics.
#ifndef SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_
#define SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace AAS_UDF {

// Most characters that each capture gathers between two reads; the rest of
// the output is dropped, and the text ends with the line
// "[output truncated after <kMaxCapturedCharacters> characters]".
inline constexpr std::size_t kMaxCapturedCharacters = std::size_t{32} << 20;

// Starts the interpreter, resuming at the first step not yet done: the
// library file exists (regular file), it loads, its entry points bind and
// its version is the headers' major.minor, the interpreter starts with
// `pythonHome` as home and without signal handlers, the captures are
// installed, the main file runs (the captures are then emptied). Once ready,
// returns at once after checking that no argument is empty. A main file that
// raises is named in the error texts with its traceback, never quoted.
void initializePythonEnvironment(const std::string& pythonHome, const std::string& pythonDllFile,
                                 const std::string& pythonMainFile);

// Outcome of one macro run.
struct MacroRun {
  bool succeeded = false;       // the text ran without a Python exception
  bool hasResult = false;       // "aas_3p_result" exists afterwards (when asked)
  bool resultIsText = false;    // it is a str (or of a subclass)
  bool resultReadable = false;  // its text could be read as UTF-8
  std::string resultText;
  std::string resultTypeName;   // its type's name; "NULL" when it has none
  std::string resultValueText;  // a non-text result's "value" attribute as text, else ""
  std::string out;              // what the call printed to stdout
  std::string err;              // and to stderr, tracebacks included
};

// The strings a macro receives as one Python list, in order; each must be
// valid UTF-8. They are read during the call only.
struct MacroArguments {
  const std::string_view* begin = nullptr;
  const std::string_view* end = nullptr;
};

// Calls `macro` after removing "aas_3p_result" from the main module: without
// arguments, or with `arguments` as one list of str. The macro must be Python
// identifiers joined by dots: the first is looked up in the main module, then
// among the builtins, the others as attributes in turn; its text is never
// run as code. A failure's traceback (a ValueError for a name of another
// form, a NameError or AttributeError for one not found) goes to the error
// capture. With `wantResult` the value is assigned to "aas_3p_result" in the
// main module and read back. Both captures are then read into the result
// and emptied, even when one cannot be read (that raises). The interpreter
// must be ready.
MacroRun runPythonMacro(const std::string& macro, const MacroArguments* arguments, bool wantResult);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_PYTHON_BRIDGE_H_
