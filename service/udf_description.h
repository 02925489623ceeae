// The UDF solver description as far as the service core needs it. The core
// reads the file (it must be a readable regular file); the UDF kind, through
// the reader it registers, parses it and fills the values.
#ifndef SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_
#define SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_

#include <string>

#include "service/environment.h"

namespace solvarium {

// The record handed to the watcher and to the UDF kind's factory. The UDF
// kind's reader returns an object of its own type derived from it.
struct UdfDescription {
  virtual ~UdfDescription() = default;
  std::string path;        // the description file
  std::string text;        // its whole content
  std::string solverPid;   // "solverPid" value, text as given
  std::string solverName;  // "solverName" value
  std::string accessType;  // "accessType" value
};

// Parses a description that was read from `path`. Returns the record, which
// lives until the process ends. On a description fault it reports the fault
// and ends the process with exit code 1; it never returns null.
using UdfDescriptionReader = const UdfDescription* (*)(const std::string& path,
                                                       const std::string& text,
                                                       const Environment& environment);

// Registers the reader of the UDF kind (once, before loadUdfConfiguration).
void registerUdfDescriptionReader(UdfDescriptionReader reader);

// "3p_aas_error_<pid>.txt" with this process's id: the UDF kind's error file.
std::string udfErrorFileName();

// Reads the description named by "-aas-config-file" (default
// "aas_udf_instant.xml"). When it cannot be read: prints
// "Error reading configuration file!<path>\n", appends the same line to
// udfErrorFileName() and ends the process with exit code 1. The text then
// goes to the registered reader (without one, only path and text are set).
// The record lives until the process ends.
const UdfDescription* loadUdfConfiguration(int argc, const char* const* argv,
                                           const Environment& environment);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_
