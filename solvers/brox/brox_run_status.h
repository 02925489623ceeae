// The Brox run status of the working directory, read through libQuennet.so.
//
// The library is loaded lazily from <BROXBINDIR>/<platform dir>/libQuennet.so
// on the first query (BROXBINDIR as the service read it at start-up, handed
// in by the caller) and bound once per process; a failure to load or bind
// is final for the process. Every query makes a fresh status object owned by
// the library; a BroxStatusHandle gives it back when it goes out of scope.
// Not thread-safe: called only by the Brox interpreter, which runs under
// SerialCall (in a connection's thread, the watcher's tick, or the main
// thread's final save).
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_RUN_STATUS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_RUN_STATUS_H_

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>

#include "platform/end_register.h"
#include "quennet/brox_status.h"

namespace BROX {

// One status query. `reader` is owned by the library and valid until
// releaseBroxStatus (run by the destructor at the latest); the lock files it
// made in the run folders are removed by the end of the process meanwhile.
struct BroxStatusHandle {
  BroxStatusReader* reader = nullptr;
  // 0 success; 1 failure, whole message in errorText; -1 failure with the
  // message cut (or no message).
  int32_t result = 0;
  std::string errorText;  // the failure's message (the binding's, when that failed)
  std::list<solvarium::platform::EndFile> lockFiles;  // the reader's, until released

  BroxStatusHandle() = default;
  ~BroxStatusHandle();
  BroxStatusHandle(const BroxStatusHandle&) = delete;
  BroxStatusHandle& operator=(const BroxStatusHandle&) = delete;
};

// Queries the run status of "." into `handle`, binding the library under
// `binDir` first when it is not bound yet. Never throws; reports through
// handle->result and handle->errorText. Once the end of the process has
// begun no query starts: the calling thread waits for the end.
void loadBroxStatus(BroxStatusHandle* handle, const std::string& binDir);

// Gives the status object back to the library (result and message of the
// release are ignored). Does nothing when handle->reader is null.
void releaseBroxStatus(BroxStatusHandle* handle);

// The error text of a failed query: handle.errorText, plus
// "\nTruncated message\n" when handle.result is -1.
std::string statusFailureText(const BroxStatusHandle& handle);

// loadBroxStatus; when handle->result is not 0, raises EInstantScriptError
// (errorType 1, `command`, statusFailureText as errorInfo, empty
// commandOutput). On return handle->reader is not null.
void loadBroxStatusOrRaise(BroxStatusHandle* handle, const std::string& binDir,
                           const std::string& command);

// Path the library is loaded from: `binDir` + "/" + platform dir + "/" +
// library file name.
std::string quennetLibraryPath(const std::string& binDir);

// Appends the JSON object of all runs, in key order, indented by `indent`
// tabs. Labels drop a leading "./"; every string value is JSON-escaped.
void writeStatusListJson(const BroxStatusReader::ResultMap& results, int indent,
                         std::string* text);

// The same text written at `out`, which has room for statusListJsonSize
// bytes (no terminating zero is written); returns the end of the text.
std::size_t statusListJsonSize(const BroxStatusReader::ResultMap& results, int indent);
char* writeStatusListJson(const BroxStatusReader::ResultMap& results, int indent, char* out);

// Test hook: forgets the binding (the loaded library stays loaded). Kept
// because the binding, a failed one included, is final for the process,
// and one unit-test process tries five libraries: a missing one, a file that
// is none, one without the exports, the real one and the test one.
void TEST_resetQuennetBinding();

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_RUN_STATUS_H_
