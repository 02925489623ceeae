// Reading the UDF solver description: the parse through the shared XML gate
// (readUdfDescription, which never ends the process) and the reader that the
// UDF kind registers with the service core (loadUdfDescription, which reports
// a fault and ends the process with exit code 1).
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_

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

// The registered reader: parses the description read from `path`. A fault
// is printed (when the fault says so) and appended to its error file, and
// the process ends with exit code 1. Warnings are appended to the error
// file. The record is never freed.
const solvarium::UdfDescription* loadUdfDescription(const std::string& path,
                                                    const std::string& text,
                                                    const solvarium::Environment& environment);

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_READER_H_
