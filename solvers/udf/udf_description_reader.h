// Reading the UDF solver description: the parse through the shared XML gate
// (readUdfDescription, which never ends the process) and the start-up read
// of the description file (loadUdfDescription, which reports a fault and
// ends the process with exit code 1).
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_

#include <memory>
#include <string>

#include "solvers/udf/udf_description_handler.h"

namespace AAS_UDF {

// Parses `text` into `handler` (system id "AAS_UDF_XML"). True when the
// description holds no fault; otherwise false with `fault` filled: the
// handler's first fault, or the parser's failure as
// "ERROR: Configuration file parse exception:\n<id>\n<message>\n" (or the
// "unknown exception" text).
bool readUdfDescription(const std::string& text, CAasUdfXmlHandler* handler,
                        UdfDescriptionFault* fault);

// "3p_aas_error_<pid>.txt" with this process's id: the UDF kind's error file.
std::string udfErrorFileName();

// The UDF unit's key file: the value after the last "-aas-key-file" among
// the arguments 1..argc-2, else "aaSUdf_Id.txt".
std::string udfKeyFileName(int argc, const char* const* argv);

// The description's path: the value after the last "-aas-config-file" among
// the arguments 0..argc-2, else "aas_udf_instant.xml". A value is looked at
// as an option too: "-aas-config-file -aas-config-file x.xml" gives "x.xml".
std::string udfConfigFileName(int argc, const char* const* argv);

// The description named by "-aas-config-file" (default
// "aas_udf_instant.xml"), read with the environment of `context`. When the
// file cannot be read: prints "Error reading configuration file!<path>\n",
// appends the same line to udfErrorFileName(), the cause goes to stderr, and
// the process ends with exit code 1. A fault of the description is printed
// (when the fault says so) and appended to its error file, and the process
// ends likewise. Warnings are appended to the error file.
std::unique_ptr<CAasUdfXmlHandler> loadUdfDescription(const solvarium::StartContext& context);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_
