// The entry points of the Python library that the UDF kind loads at run
// time. The headers give the types only; every function (and data symbol)
// is looked up by name in the loaded library, so the program is not linked
// against Python.
#ifndef SOLVARIUM_SOLVERS_UDF_PYTHON_API_H_
#define SOLVARIUM_SOLVERS_UDF_PYTHON_API_H_

#include <Python.h>

#include <string>

namespace AAS_UDF {

struct PythonApi {
  decltype(&::Py_GetVersion) getVersion = nullptr;
  decltype(&::PyPreConfig_InitPythonConfig) preConfigInitPythonConfig = nullptr;
  decltype(&::Py_PreInitialize) preInitialize = nullptr;
  decltype(&::PyConfig_InitPythonConfig) configInitPythonConfig = nullptr;
  decltype(&::PyConfig_SetBytesString) configSetBytesString = nullptr;
  decltype(&::PyConfig_Clear) configClear = nullptr;
  decltype(&::Py_InitializeFromConfig) initializeFromConfig = nullptr;
  decltype(&::PyStatus_Exception) statusException = nullptr;
  decltype(&::PyEval_SaveThread) evalSaveThread = nullptr;
  decltype(&::PyGILState_Ensure) gilStateEnsure = nullptr;
  decltype(&::PyGILState_Release) gilStateRelease = nullptr;
  decltype(&::PyImport_AddModule) importAddModule = nullptr;
  decltype(&::PyModule_GetDict) moduleGetDict = nullptr;
  decltype(&::PyRun_StringFlags) runStringFlags = nullptr;
  decltype(&::PyObject_GetAttr) objectGetAttr = nullptr;
  decltype(&::PyObject_GetAttrString) objectGetAttrString = nullptr;
  decltype(&::PyObject_SetAttrString) objectSetAttrString = nullptr;
  decltype(&::PyObject_CallObject) objectCallObject = nullptr;
  decltype(&::PyCMethod_New) cMethodNew = nullptr;
  decltype(&::PyObject_HasAttrString) objectHasAttrString = nullptr;
  decltype(&::PyDict_New) dictNew = nullptr;
  decltype(&::PyDict_GetItemWithError) dictGetItemWithError = nullptr;
  decltype(&::PyDict_GetItemString) dictGetItemString = nullptr;
  decltype(&::PyDict_SetItemString) dictSetItemString = nullptr;
  decltype(&::PyDict_DelItemString) dictDelItemString = nullptr;
  decltype(&::PyList_New) listNew = nullptr;
  decltype(&::PyList_SetItem) listSetItem = nullptr;
  decltype(&::PyErr_Occurred) errOccurred = nullptr;
  decltype(&::PyErr_Clear) errClear = nullptr;
  decltype(&::PyErr_SetString) errSetString = nullptr;
  decltype(&::PyErr_Format) errFormat = nullptr;
  decltype(&::PyErr_Fetch) errFetch = nullptr;
  decltype(&::PyErr_Restore) errRestore = nullptr;
  decltype(&::PyErr_NormalizeException) errNormalizeException = nullptr;
  decltype(&::PyErr_Display) errDisplay = nullptr;
  decltype(&::PyException_SetTraceback) exceptionSetTraceback = nullptr;
  decltype(&::PyUnicode_AsUTF8) unicodeAsUtf8 = nullptr;
  decltype(&::PyUnicode_DecodeUTF8) unicodeDecodeUtf8 = nullptr;
  decltype(&::PyUnicode_IsIdentifier) unicodeIsIdentifier = nullptr;
  decltype(&::Py_IncRef) incRef = nullptr;
  decltype(&::Py_DecRef) decRef = nullptr;
  decltype(&::PyMem_GetAllocator) memGetAllocator = nullptr;
  decltype(&::PyMem_SetAllocator) memSetAllocator = nullptr;
  decltype(&::Py_Finalize) finalize = nullptr;  // must exist; never called
  PyObject** excNameError = nullptr;            // the data symbol PyExc_NameError
  PyObject** excValueError = nullptr;           // PyExc_ValueError
};

// "major.minor" of the headers the program was built with ("3.11").
std::string headerPythonVersion();

// True when `version` (Py_GetVersion()'s text) is of the headers' major.minor.
bool versionMatchesHeaders(const char* version);

// Binds Py_GetVersion from `library`; false with `missing` set when absent.
bool bindPythonVersion(void* library, PythonApi* api, std::string* missing);

// Binds every other entry point from `library`. Returns false with `missing`
// set to the first name that the library lacks.
bool bindPythonApi(void* library, PythonApi* api, std::string* missing);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_PYTHON_API_H_
