#include "solvers/udf/python_api.h"  // Python.h first
#include "solvers/udf/python_bridge.h"

#include <limits.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <functional>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "platform/dynamic_library.h"
#include "platform/thread_stacks.h"
#include "service/service_log.h"
#include "service/stop_signals.h"
#include "solvers/udf/python_start_memory.h"
#include "solvers/udf/udf_description_reader.h"

namespace AAS_UDF {

namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

const char kInitialize[] = "initialize Python environment";
const char kRetrieve[] = "retrieve stdout and stderr from Python";
// Names of a macro call's own namespace: the macro, its argument list and
// the error that its lookup raised.
const char kMacroName[] = "_aas_3p_macro";
const char kArgumentsName[] = "_aas_3p_arguments";
const char kErrorName[] = "_aas_3p_error";
// The main module's name for a macro's result.
const char kResultName[] = "aas_3p_result";

// The captures' class: an instance replaces sys.stdout or sys.stderr and
// gathers what the thread of the call in progress (set by claim(), until
// release()) writes to it: text() returns it, reset_value() empties it, and the
// property "value" reads or replaces it. Pieces are kept in a list (joined
// per 4096, so that many small writes stay compact) and joined once when
// read. Past kMaxCapturedCharacters the rest is dropped and a line saying
// so ends the text. Other threads' lines go to stray(), the service's
// stderr.
const std::string& captureText() {
  static const std::string limit = std::to_string(kMaxCapturedCharacters);
  static const std::string marker =
      "'\\n[output truncated after " + limit + " characters]\\n'";
  static const std::string text =
      "import sys, _thread\n"
      "class AasCapture:\n"
      "\t_call = [None]\n"
      "\tdef __init__(self):\n"
      "\t\tself.reset_value()\n"
      "\t\tself._rest = ''\n"
      "\tdef write(self, txt, _ident=_thread.get_ident):\n"
      "\t\tif not isinstance(txt, str):\n"
      "\t\t\traise TypeError('can only concatenate str (not \"%s\") to str' % "
      "type(txt).__name__)\n"
      "\t\tif _ident() != self._call[0]:\n"
      "\t\t\tlines = (self._rest + txt).split('\\n')\n"
      "\t\t\tself._rest = lines.pop()[-4096:]\n"
      "\t\t\tfor line in lines:\n"
      "\t\t\t\tself.stray(line)\n"
      "\t\t\treturn\n"
      "\t\troom = " + limit + " - self._size\n"
      "\t\tif len(txt) > room:\n"
      "\t\t\tif room >= 0:\n"
      "\t\t\t\tself._pieces.append(txt[:room] + " + marker + ")\n"
      "\t\t\t\tself._size = " + limit + " + 1\n"
      "\t\telif txt:\n"
      "\t\t\tself._pieces.append(txt)\n"
      "\t\t\tself._size += len(txt)\n"
      "\t\t\tif len(self._pieces) == 4096:\n"
      "\t\t\t\tself._chunks.append(''.join(self._pieces))\n"
      "\t\t\t\tself._pieces = []\n"
      "\tdef flush(self):\n"
      "\t\tpass\n"
      "\tdef text(self):\n"
      "\t\treturn ''.join(self._chunks + self._pieces)\n"
      "\tdef reset_value(self):\n"
      "\t\tself._chunks = []\n"
      "\t\tself._pieces = []\n"
      "\t\tself._size = 0\n"
      "\tdef _replace(self, value):\n"
      "\t\tself.reset_value()\n"
      "\t\tself._pieces.append(value)\n"
      "\t\tself._size = len(value) if isinstance(value, str) else 0\n"
      "\tvalue = property(text, _replace)\n"
      "\tdef claim(self, _ident=_thread.get_ident):\n"
      "\t\tself._call[0] = _ident()\n"
      "\tdef release(self):\n"
      "\t\tself._call[0] = None\n"
      "class AasStdOut(AasCapture): pass\n"
      "class AasStdErr(AasCapture): pass\n"
      "aasStdOut = AasStdOut()\n"
      "aasStdErr = AasStdErr()\n"
      "sys.stdout = aasStdOut\n"
      "sys.stderr = aasStdErr\n";
  return text;
}

// Steps of the start: the next call resumes with the step named.
enum Step {
  kCheckFile = 0,
  kLoadLibrary = 1,
  kBindEntries = 2,
  kStartInterpreter = 3,
  kInstallCaptures = 4,
  kRunMainFile = 5,
  kReady = 6,
};

struct Bridge {
  int step = kCheckFile;
  void* library = nullptr;
  PythonApi api;
  PyObject* mainModule = nullptr;     // borrowed: sys.modules keeps it
  // The captures' bound methods text() and reset_value(), owned for the
  // life of the process: what the main module's names become never matters.
  PyObject* stdoutText = nullptr;
  PyObject* stdoutReset = nullptr;
  PyObject* stderrText = nullptr;
  PyObject* stderrReset = nullptr;
  PyObject* claim = nullptr;          // the captures' claim() and release()
  PyObject* release = nullptr;
  bool startFailed = false;           // the interpreter could not start: never retried
  std::string startFailure;           // its errorInfo
};

Bridge& bridge() {
  static Bridge* state = new Bridge;  // never destroyed: the interpreter outlives statics
  return *state;
}

[[noreturn]] void fail(const std::string& fileText, const std::string& command,
                       const std::string& errorInfo, const std::string& commandOutput) {
  solvarium::appendText(udfErrorFileName(), fileText);
  throw GE::EScriptGenericError(1, command.c_str(), errorInfo.c_str(), commandOutput.c_str());
}

// AasCapture.stray: one line that a thread other than the call's printed.
PyObject* strayLine(PyObject*, PyObject* line) {
  const char* utf8 = bridge().api.unicodeAsUtf8(line);
  if (utf8 == nullptr) return nullptr;
  solvarium::diagnosticText(std::string("Output of a macro's thread outside its call: ") + utf8);
  bridge().api.incRef(line);
  return line;
}

// Holds the interpreter's lock for one call, and puts back descriptors 0-2
// that Python closed or replaced, and the service's signal handlers.
class Gil {
 public:
  Gil() : state_(bridge().api.gilStateEnsure()) {}
  ~Gil() {
    solvarium::restoreStandardDescriptors();
    solvarium::restoreSignalHandlers();
    bridge().api.gilStateRelease(state_);
  }
  Gil(const Gil&) = delete;
  Gil& operator=(const Gil&) = delete;

 private:
  PyGILState_STATE state_;
};

// The pending Python error, fetched and normalized: type, value and
// traceback, new references. Needs the lock.
std::array<PyObject*, 3> fetchError() {
  std::array<PyObject*, 3> error{};
  bridge().api.errFetch(&error[0], &error[1], &error[2]);
  bridge().api.errNormalizeException(&error[0], &error[1], &error[2]);
  return error;
}

// Prints a pending Python error, traceback included, to sys.stderr and
// clears it. Unlike PyErr_Print, a SystemExit does not end the process.
void printPendingError() {
  const PythonApi& api = bridge().api;
  if (api.errOccurred() == nullptr) return;
  const auto [type, value, traceback] = fetchError();
  if (type != nullptr) api.errDisplay(type, value, traceback);
  for (PyObject* object : {type, value, traceback}) api.decRef(object);
  api.errClear();
}

// Runs `text` with the namespaces `globals` and `locals`. A failure's
// traceback is printed to the error capture when `printError`, else dropped.
// Needs the lock.
bool runSource(const std::string& text, PyObject* globals, PyObject* locals, bool printError) {
  const PythonApi& api = bridge().api;
  PyObject* result = api.runStringFlags(text.c_str(), Py_file_input, globals, locals, nullptr);
  if (result != nullptr) {
    api.decRef(result);
    return true;
  }
  if (printError) {
    printPendingError();
  } else {
    api.errClear();
  }
  return false;
}

// The main module's namespace. Needs the lock.
PyObject* mainGlobals() { return bridge().api.moduleGetDict(bridge().mainModule); }

// The UTF-8 text of `value`, a new reference that is released; false when
// it is null or not readable text. Needs the lock.
bool takeText(PyObject* value, std::string* text) {
  const PythonApi& api = bridge().api;
  if (value == nullptr) {
    api.errClear();
    return false;
  }
  const char* utf8 = api.unicodeAsUtf8(value);
  if (utf8 != nullptr) {
    *text = utf8;
  } else {
    api.errClear();
  }
  api.decRef(value);
  return utf8 != nullptr;
}

// Calls `method` without arguments; false when it raised. Needs the lock.
bool callMethod(PyObject* method) {
  const PythonApi& api = bridge().api;
  PyObject* result = api.objectCallObject(method, nullptr);
  if (result == nullptr) api.errClear();
  api.decRef(result);
  return result != nullptr;
}

// A new list of the arguments as str; null with the Python error pending
// when it cannot be made. Needs the lock.
PyObject* argumentList(const MacroArguments& arguments) {
  const PythonApi& api = bridge().api;
  PyObject* list = api.listNew(arguments.end - arguments.begin);
  if (list == nullptr) return nullptr;
  Py_ssize_t index = 0;
  for (const std::string_view* argument = arguments.begin; argument != arguments.end;
       ++argument, ++index) {
    PyObject* item =
        api.unicodeDecodeUtf8(argument->data(), static_cast<Py_ssize_t>(argument->size()), nullptr);
    // The list takes the item over, even when it refuses it.
    if (item == nullptr || api.listSetItem(list, index, item) != 0) {
      api.decRef(list);
      return nullptr;
    }
  }
  return list;
}

// The object that `macro` names: Python identifiers joined by dots, the
// first looked up in the main module and then among the builtins, each
// other one as an attribute of the object before. A new reference; null
// with a Python error pending when it is not found or not such a name.
// Needs the lock.
PyObject* findMacro(const std::string& macro) {
  const PythonApi& api = bridge().api;
  PyObject* object = nullptr;
  std::string::size_type start = 0;
  while (true) {
    const std::string::size_type dot = std::min(macro.find('.', start), macro.size());
    PyObject* name =
        api.unicodeDecodeUtf8(macro.data() + start, static_cast<Py_ssize_t>(dot - start), nullptr);
    if (name == nullptr || api.unicodeIsIdentifier(name) != 1) {
      api.decRef(name);
      api.decRef(object);
      api.errSetString(*api.excValueError,
                       "the macro is not a dotted name (Python identifiers joined by dots)");
      return nullptr;
    }
    PyObject* next = nullptr;
    if (object != nullptr) {
      next = api.objectGetAttr(object, name);
    } else {
      next = api.dictGetItemWithError(mainGlobals(), name);  // borrowed
      PyObject* builtins = api.importAddModule("builtins");
      if (next == nullptr && api.errOccurred() == nullptr && builtins != nullptr) {
        next = api.dictGetItemWithError(api.moduleGetDict(builtins), name);
      }
      if (next == nullptr && api.errOccurred() == nullptr) {
        // As the interpreter's own, it carries the name (for "Did you mean").
        api.errFormat(*api.excNameError, "name '%U' is not defined", name);
        const auto [type, value, traceback] = fetchError();
        if (value != nullptr && api.objectSetAttrString(value, "name", name) != 0) api.errClear();
        api.errRestore(type, value, traceback);
      }
      api.incRef(next);
    }
    api.decRef(name);
    api.decRef(object);
    if (next == nullptr || dot == macro.size()) return next;
    object = next;
    start = dot + 1;
  }
}

// Raises the pending error again from a fixed text run in the main module
// with `names` as its locals, so that its traceback reads as if the call had
// been written out there, and prints it to the error capture. Needs the
// lock.
void raiseFromCall(PyObject* names) {
  const PythonApi& api = bridge().api;
  const auto [type, value, traceback] = fetchError();
  if (value != nullptr && traceback != nullptr) api.exceptionSetTraceback(value, traceback);
  const bool stored = value != nullptr && api.dictSetItemString(names, kErrorName, value) == 0;
  for (PyObject* object : {type, value, traceback}) api.decRef(object);
  if (stored) {
    runSource(std::string("raise ") + kErrorName, mainGlobals(), names, true);
  } else {
    printPendingError();
  }
}

// Reads and empties both captures; the first failure's message, "" when
// none. Needs the lock.
std::string takeCaptures(std::string* out, std::string* err) {
  std::string failure;
  const Bridge& state = bridge();
  const struct {
    PyObject* text;
    PyObject* reset;
    std::string* into;
    std::string name;
  } captures[] = {{state.stdoutText, state.stdoutReset, out, "stdout"},
                  {state.stderrText, state.stderrReset, err, "stderr"}};
  for (const auto& capture : captures) {
    capture.into->clear();
    if (!takeText(state.api.objectCallObject(capture.text, nullptr), capture.into) &&
        failure.empty()) {
      failure = "ERROR: Cannot access Python " + capture.name + " content!";
    }
    if (!callMethod(capture.reset) && failure.empty()) {
      failure = "ERROR: Cannot reset Python " + capture.name + " content!";
    }
  }
  return failure;
}

void checkLibraryFile(const std::string& dll) {
  struct stat status;
  const bool exists = ::stat(dll.c_str(), &status) == 0;
  if (!exists || !S_ISREG(status.st_mode)) {
    fail(dll + (exists ? " is not a regular file\n" : " does not exist\n"), kInitialize,
         "ERROR: Cannot find Python DLL file", dll);
  }
}

void loadLibrary(const std::string& dll) {
  std::string error;
  bridge().library = solvarium::platform::openLibrary(dll, true, &error);
  if (bridge().library == nullptr) {
    fail(dll + " cannot be loaded\n" + error + "\n", "DLL cannot be loaded",
         "ERROR: Cannot load Python DLL file\n" + error, dll);
  }
}

// A failure here unloads the library (no interpreter runs yet).
void bindEntries(const std::string& dll) {
  Bridge& state = bridge();
  std::string missing;
  std::string text;
  std::string command;
  std::string output;
  const bool versionBound = bindPythonVersion(state.library, &state.api, &missing);
  if (versionBound && !versionMatchesHeaders(state.api.getVersion())) {
    const std::string version = state.api.getVersion() != nullptr ? state.api.getVersion() : "";
    text = dll + " is Python " + version.substr(0, version.find(' ')) + ", not " +
           headerPythonVersion() + "\n";
    command = "Python version mismatch";
    output = version;
  } else if (!versionBound || !bindPythonApi(state.library, &state.api, &missing)) {
    text = dll + " does not have code for " + missing + "\n";
    command = "Symbol does not exist";
    output = missing;
  } else {
    return;
  }
  solvarium::platform::closeLibrary(state.library);
  state.library = nullptr;
  state.api = PythonApi();
  state.step = kLoadLibrary;
  fail(text, command, text, output);
}

void startInterpreter(const std::string& home) {
  Bridge& state = bridge();
  const PythonApi& api = state.api;
  // The service's locale and environment stay as they are (Python then
  // works in UTF-8 mode); signals stay with the service.
  PyPreConfig preconfig;
  api.preConfigInitPythonConfig(&preconfig);
  preconfig.configure_locale = 0;
  preconfig.coerce_c_locale = 0;
  preconfig.coerce_c_locale_warn = 0;
  PyStatus status = api.preInitialize(&preconfig);
  if (!api.statusException(status)) {
    watchPythonStartMemory(api);
    PyConfig config;
    api.configInitPythonConfig(&config);
    config.install_signal_handlers = 0;
    config.configure_c_stdio = 0;
    config.parse_argv = 0;
    status = api.configSetBytesString(&config, &config.home, home.c_str());
    if (!api.statusException(status)) status = api.initializeFromConfig(&config);
    api.configClear(&config);
  }
  if (api.statusException(status)) {
    const std::string reason = status.err_msg != nullptr ? status.err_msg : "unknown error";
    state.startFailed = true;
    state.startFailure = "ERROR: Cannot start Python interpreter\n" + reason;
    fail("Cannot start Python with home " + home + "\n" + reason + "\n", kInitialize,
         state.startFailure, home);
  }
  api.evalSaveThread();  // the lock is taken per call from now on
}

void installCaptures() {
  Bridge& state = bridge();
  const PythonApi& api = state.api;
  Gil gil;
  state.mainModule = api.importAddModule("__main__");
  // A macro's threads get a thread's usual stack, not the service's small one.
  if (state.mainModule != nullptr) {
    runSource("import _thread\n_thread.stack_size(8 << 20)\n", mainGlobals(), mainGlobals(),
              false);
  }
  bool installed = state.mainModule != nullptr &&
                   runSource(captureText(), mainGlobals(), mainGlobals(), false);
  PyObject** const methods[] = {&state.stdoutText, &state.stdoutReset, &state.stderrText,
                                &state.stderrReset, &state.claim, &state.release};
  if (installed) {
    static PyMethodDef strayMethod = {"stray", strayLine, METH_O, nullptr};
    PyObject* stdoutCapture = api.objectGetAttrString(state.mainModule, "aasStdOut");
    PyObject* stderrCapture = api.objectGetAttrString(state.mainModule, "aasStdErr");
    PyObject* captureClass = api.objectGetAttrString(state.mainModule, "AasCapture");
    PyObject* stray = api.cMethodNew(&strayMethod, nullptr, nullptr, nullptr);
    if (stdoutCapture != nullptr && stderrCapture != nullptr && captureClass != nullptr &&
        stray != nullptr && api.objectSetAttrString(captureClass, "stray", stray) == 0) {
      state.stdoutText = api.objectGetAttrString(stdoutCapture, "text");
      state.stdoutReset = api.objectGetAttrString(stdoutCapture, "reset_value");
      state.stderrText = api.objectGetAttrString(stderrCapture, "text");
      state.stderrReset = api.objectGetAttrString(stderrCapture, "reset_value");
      state.claim = api.objectGetAttrString(stdoutCapture, "claim");
      state.release = api.objectGetAttrString(stdoutCapture, "release");
    }
    for (PyObject* object : {stdoutCapture, stderrCapture, captureClass, stray}) api.decRef(object);
    for (PyObject** method : methods) installed = installed && *method != nullptr;
  }
  if (!installed) {
    api.errClear();
    for (PyObject** method : methods) {
      api.decRef(*method);
      *method = nullptr;
    }
    fail("Cannot redirect stdout/stderr\n\n\n" + captureText() + "\n",
         "Error executing required Python code", "Cannot redirect stdout/stderr\n", captureText());
  }
}

void runMainFile(const std::string& mainFile) {
  std::string script;
  std::string error;
  if (!solvarium::readWholeFile(mainFile, &script, &error)) {
    solvarium::diagnostic("%s\n", error.c_str());
    fail("Cannot read python script\n\n\n" + mainFile + "\n", "Error reading required Python code",
         "Cannot read python script\n", mainFile);
  }
  const std::string::size_type zero = script.find('\0');
  if (zero != std::string::npos) script.resize(zero);

  std::string out;
  std::string err;
  bool ran = false;
  {
    Gil gil;
    callMethod(bridge().claim);
    ran = runSource(script, mainGlobals(), mainGlobals(), true);
    takeCaptures(&out, &err);  // start-up output is never a macro's
    callMethod(bridge().release);
  }
  if (ran) return;
  // The texts name the script and quote its traceback, never its text.
  std::string info = "Error executing required Python code\n";
  if (!err.empty()) info += "\nstderr:\n" + err + "\n";
  if (!out.empty()) info += "\nstdout:\n" + out + "\n";
  info += "Python Script:\n" + mainFile + "\n";
  fail("Cannot load python script\n\n\n" + mainFile + "\n" + err, "initializePythonEnvironment",
       info, "");
}

// Runs the macro into `run` (see runPythonMacro). Needs the lock.
void callMacro(const std::string& macro, const MacroArguments* arguments, bool wantResult,
               MacroRun* run) {
  const PythonApi& api = bridge().api;
  api.errClear();
  PyObject* globals = mainGlobals();
  if (api.dictDelItemString(globals, kResultName) != 0) api.errClear();
  PyObject* names = api.dictNew();
  if (names == nullptr) {
    printPendingError();
    return;
  }
  PyObject* target = findMacro(macro);
  bool bound = target != nullptr && api.dictSetItemString(names, kMacroName, target) == 0;
  api.decRef(target);
  if (bound && arguments != nullptr) {
    PyObject* list = argumentList(*arguments);
    bound = list != nullptr && api.dictSetItemString(names, kArgumentsName, list) == 0;
    api.decRef(list);
  }
  if (bound) {
    // A fixed text run in the main module with `names` as its locals, so
    // that a traceback reads as it would for the call written out there.
    const std::string call = (wantResult ? std::string(kResultName) + "=" : std::string()) +
                             kMacroName + "(" + (arguments != nullptr ? kArgumentsName : "") + ")";
    run->succeeded = runSource(call, globals, names, true);
    PyObject* result = run->succeeded && wantResult
                           ? api.dictGetItemString(names, kResultName)
                           : nullptr;
    if (result != nullptr && api.dictSetItemString(globals, kResultName, result) != 0) {
      printPendingError();
    }
  } else {
    raiseFromCall(names);
  }
  api.decRef(names);
  if (!wantResult || api.objectHasAttrString(bridge().mainModule, kResultName) != 1) {
    return;
  }
  PyObject* result = api.objectGetAttrString(bridge().mainModule, kResultName);
  if (result == nullptr) {
    api.errClear();
    return;
  }
  run->hasResult = true;
  PyTypeObject* type = Py_TYPE(result);
  run->resultIsText = PyType_HasFeature(type, Py_TPFLAGS_UNICODE_SUBCLASS);
  if (run->resultIsText) {
    api.incRef(result);  // takeText releases it
    run->resultReadable = takeText(result, &run->resultText);
  } else {
    run->resultTypeName = type->tp_name != nullptr ? type->tp_name : "NULL";
    takeText(api.objectGetAttrString(result, "value"), &run->resultValueText);
  }
  api.decRef(result);
}

}  // namespace

void initializePythonEnvironment(const std::string& pythonHome, const std::string& pythonDllFile,
                                 const std::string& pythonMainFile) {
  if (pythonHome.empty()) {
    fail("ERROR: pythonHome not specified in xml configuration file\n", kInitialize,
         "ERROR: pythonHome not specified in xml configuration file", pythonHome);
  }
  if (pythonDllFile.empty()) {
    fail(pythonDllFile + " does not exist\n", kInitialize,
         "ERROR: pythonDllFile file not specified in xml configuration file", pythonDllFile);
  }
  if (pythonMainFile.empty()) {
    fail("ERROR: mainPythonFile file not specified in xml configuration file\n", kInitialize,
         "ERROR: mainPythonFile file not specified in xml configuration file", pythonMainFile);
  }
  if (pythonHome.size() >= PATH_MAX) {
    const std::string info =
        "ERROR: pythonHome is longer than " + std::to_string(PATH_MAX - 1) + " characters";
    fail(info + "\n", kInitialize, info, "");
  }
  Bridge& state = bridge();
  if (state.startFailed) {
    fail(state.startFailure + "\n", kInitialize, state.startFailure, pythonHome);
  }
  // Each step moves on only when it succeeded; a failure leaves the step to
  // be tried again by the next call.
  const std::function<void()> steps[] = {
      [&] { checkLibraryFile(pythonDllFile); }, [&] { loadLibrary(pythonDllFile); },
      [&] { bindEntries(pythonDllFile); },      [&] { startInterpreter(pythonHome); },
      [&] { installCaptures(); },               [&] { runMainFile(pythonMainFile); }};
  for (int step = kCheckFile; step < kReady; ++step) {
    if (state.step != step) continue;
    solvarium::platform::runOnLargeStack(steps[step]);
    state.step = step + 1;
  }
}

MacroRun runPythonMacro(const std::string& macro, const MacroArguments* arguments,
                        bool wantResult) {
  MacroRun run;
  std::string failure;
  // Python's C code recurses with the macro's calls.
  solvarium::platform::runOnLargeStack([&] {
    Gil gil;
    callMethod(bridge().claim);
    callMacro(macro, arguments, wantResult, &run);
    printPendingError();
    failure = takeCaptures(&run.out, &run.err);
    callMethod(bridge().release);
  });
  if (!failure.empty()) fail(failure + "\n", kRetrieve, failure, "");
  return run;
}

}  // namespace AAS_UDF
