// The UDF solver description as far as the service core needs it. The file
// is only checked for being readable here; its values are filled by the UDF
// kind's reader.
#ifndef SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_
#define SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_

#include <string>

namespace solvarium {

struct UdfDescription {
  std::string path;        // the description file
  std::string text;        // its whole content
  std::string solverPid;   // "solverPid" value, text as given
  std::string solverName;  // "solverName" value
  std::string accessType;  // "accessType" value
};

// Reads the description named by "-aas-config-file" (default
// "aas_udf_instant.xml"). When it cannot be read: prints
// "Error reading configuration file!<path>\n", appends the same line to
// "3p_aas_error_<pid>.txt" and ends the process with exit code 1. The record
// lives until the process ends.
const UdfDescription* loadUdfConfiguration(int argc, const char* const* argv);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_UDF_DESCRIPTION_H_
