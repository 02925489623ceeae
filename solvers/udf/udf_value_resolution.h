// Values of the UDF solver description: each element's text is resolved by
// its "format" attribute (the storage). Functions of the text, the
// environment read at start-up and the files named. Nothing is written here,
// and one line only is printed: the stderr line that says why a "filename"
// file cannot be read. Reporting a fault is the caller's.
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_VALUE_RESOLUTION_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_VALUE_RESOLUTION_H_

#include <string>

#include "service/environment.h"

namespace AAS_UDF {

// Placeholder substitutions allowed for one value; one more is a fault.
inline constexpr int kMaxSubstitutions = 64;

// A fault of the description: the message, whether it is printed as well
// as written, and whether it goes to "aas_udf_error.txt" instead of the
// per-process error file.
struct UdfDescriptionFault {
  std::string message;
  bool printed = true;
  bool toUdfErrorFile = false;
  std::string cause;  // the stderr line's cause; empty: the message's first line
};

// Resolves `text` under `storage`:
//   ""                     placeholders "{$NAME}" replaced left to right by
//                          set, non-empty variables of `environment` (again
//                          in the replaced text), stopping at the first "{"
//                          that is not one; more than kMaxSubstitutions is a
//                          fault;
//   "explicit"             the text unchanged;
//   "environment_variable" the value of the variable of `environment` that
//                          the text names (empty included); unset is a fault;
//   "filename"             the content of the regular file the text names, up
//                          to its first zero byte; unreadable is a fault,
//                          with the stderr line above;
//   anything else          a fault.
// Returns false and fills `fault` on a fault.
bool resolveStoredValue(const std::string& text, const std::string& storage,
                        const solvarium::Environment& environment, std::string* value,
                        UdfDescriptionFault* fault);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_VALUE_RESOLUTION_H_
