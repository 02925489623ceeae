// The embedded Python under start-up's watch of memory (see
// service/startup_memory.h). When memory runs out, Python 3.11 retries for
// ever an allocation that an exception handler needs, or ends the process
// with abort() early in its start: while the service starts, an allocation of
// Python's that fails ends the process the way a failed operator new does.
#ifndef SOLVARIUM_SOLVERS_UDF_PYTHON_START_MEMORY_H_
#define SOLVARIUM_SOLVERS_UDF_PYTHON_START_MEMORY_H_

#include "solvers/udf/python_api.h"

namespace AAS_UDF {

// Wraps Python's allocators; call once, after Py_PreInitialize and before
// Py_InitializeFromConfig. Once start-up is over the wrappers only pass on.
void watchPythonStartMemory(const PythonApi& api);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_PYTHON_START_MEMORY_H_
