#include "solvers/udf/python_api.h"

#include <cstring>

#include "platform/dynamic_library.h"

namespace AAS_UDF {

namespace {

template <typename Pointer>
bool bind(void* library, const char* name, Pointer* slot, std::string* missing) {
  std::string error;
  void* symbol = solvarium::platform::findSymbol(library, name, &error);
  if (symbol == nullptr) {
    *missing = name;
    return false;
  }
  *slot = reinterpret_cast<Pointer>(symbol);
  return true;
}

}  // namespace

std::string headerPythonVersion() {
  return std::to_string(PY_MAJOR_VERSION) + "." + std::to_string(PY_MINOR_VERSION);
}

bool versionMatchesHeaders(const char* version) {
  if (version == nullptr) return false;
  const std::string expected = headerPythonVersion();
  if (std::strncmp(version, expected.c_str(), expected.size()) != 0) return false;
  const char next = version[expected.size()];
  return next < '0' || next > '9';
}

bool bindPythonVersion(void* library, PythonApi* api, std::string* missing) {
  return bind(library, "Py_GetVersion", &api->getVersion, missing);
}

bool bindPythonApi(void* library, PythonApi* api, std::string* missing) {
  return bind(library, "PyPreConfig_InitPythonConfig", &api->preConfigInitPythonConfig,
              missing) &&
         bind(library, "Py_PreInitialize", &api->preInitialize, missing) &&
         bind(library, "PyConfig_InitPythonConfig", &api->configInitPythonConfig, missing) &&
         bind(library, "PyConfig_SetBytesString", &api->configSetBytesString, missing) &&
         bind(library, "PyConfig_Clear", &api->configClear, missing) &&
         bind(library, "Py_InitializeFromConfig", &api->initializeFromConfig, missing) &&
         bind(library, "PyStatus_Exception", &api->statusException, missing) &&
         bind(library, "PyEval_SaveThread", &api->evalSaveThread, missing) &&
         bind(library, "PyGILState_Ensure", &api->gilStateEnsure, missing) &&
         bind(library, "PyGILState_Release", &api->gilStateRelease, missing) &&
         bind(library, "PyImport_AddModule", &api->importAddModule, missing) &&
         bind(library, "PyModule_GetDict", &api->moduleGetDict, missing) &&
         bind(library, "PyRun_StringFlags", &api->runStringFlags, missing) &&
         bind(library, "PyObject_GetAttr", &api->objectGetAttr, missing) &&
         bind(library, "PyObject_GetAttrString", &api->objectGetAttrString, missing) &&
         bind(library, "PyObject_SetAttrString", &api->objectSetAttrString, missing) &&
         bind(library, "PyObject_CallObject", &api->objectCallObject, missing) &&
         bind(library, "PyCMethod_New", &api->cMethodNew, missing) &&
         bind(library, "PyObject_HasAttrString", &api->objectHasAttrString, missing) &&
         bind(library, "PyDict_New", &api->dictNew, missing) &&
         bind(library, "PyDict_GetItemWithError", &api->dictGetItemWithError, missing) &&
         bind(library, "PyDict_GetItemString", &api->dictGetItemString, missing) &&
         bind(library, "PyDict_SetItemString", &api->dictSetItemString, missing) &&
         bind(library, "PyDict_DelItemString", &api->dictDelItemString, missing) &&
         bind(library, "PyList_New", &api->listNew, missing) &&
         bind(library, "PyList_SetItem", &api->listSetItem, missing) &&
         bind(library, "PyErr_Occurred", &api->errOccurred, missing) &&
         bind(library, "PyErr_Clear", &api->errClear, missing) &&
         bind(library, "PyErr_SetString", &api->errSetString, missing) &&
         bind(library, "PyErr_Format", &api->errFormat, missing) &&
         bind(library, "PyErr_Fetch", &api->errFetch, missing) &&
         bind(library, "PyErr_Restore", &api->errRestore, missing) &&
         bind(library, "PyErr_NormalizeException", &api->errNormalizeException, missing) &&
         bind(library, "PyErr_Display", &api->errDisplay, missing) &&
         bind(library, "PyException_SetTraceback", &api->exceptionSetTraceback, missing) &&
         bind(library, "PyUnicode_AsUTF8", &api->unicodeAsUtf8, missing) &&
         bind(library, "PyUnicode_DecodeUTF8", &api->unicodeDecodeUtf8, missing) &&
         bind(library, "PyUnicode_IsIdentifier", &api->unicodeIsIdentifier, missing) &&
         bind(library, "Py_IncRef", &api->incRef, missing) &&
         bind(library, "Py_DecRef", &api->decRef, missing) &&
         bind(library, "PyMem_GetAllocator", &api->memGetAllocator, missing) &&
         bind(library, "PyMem_SetAllocator", &api->memSetAllocator, missing) &&
         bind(library, "Py_Finalize", &api->finalize, missing) &&
         bind(library, "PyExc_NameError", &api->excNameError, missing) &&
         bind(library, "PyExc_ValueError", &api->excValueError, missing);
}

}  // namespace AAS_UDF
