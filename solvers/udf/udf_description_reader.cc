#include "solvers/udf/udf_description_reader.h"

#include <cstring>
#include <string>

#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "common/startup_error.h"
#include "common/xml_document.h"
#include "platform/process.h"
#include "service/process_exit.h"
#include "service/service_log.h"

namespace AAS_UDF {

namespace {

const char kSystemId[] = "AAS_UDF_XML";
const char kUdfErrorFile[] = "aas_udf_error.txt";

// The value after the last `option` among argv[first..argc-2], else
// `fallback`. With `skipValues`, the value after an option is never looked
// at as an option.
std::string optionValue(int argc, const char* const* argv, int first, bool skipValues,
                        const char* option, const char* fallback) {
  std::string value = fallback;
  for (int i = first; argv != nullptr && i + 1 < argc; ++i) {
    if (argv[i] != nullptr && std::strcmp(argv[i], option) == 0 && argv[i + 1] != nullptr) {
      value = argv[i + 1];
      if (skipValues) ++i;
    }
  }
  return value;
}

// The shared gate reports a parser exception as "<id>: <message>"; a text
// without such an id (a refused document) is all message.
void splitParseError(const std::string& error, std::string* id, std::string* message) {
  const std::string::size_type colon = error.find(": ");
  if (colon != std::string::npos && error.find(' ') > colon) {
    *id = error.substr(0, colon);
    *message = error.substr(colon + 2);
  } else {
    *id = "XML document refused";
    *message = error;
  }
}

}  // namespace

bool readUdfDescription(const std::string& text, CAasUdfXmlHandler* handler,
                        UdfDescriptionFault* fault) {
  std::string error;
  const bool parsed = solvarium::parseXmlDocument(text, *handler, kSystemId, &error);
  if (handler->failed) {
    *fault = handler->fault;
    return false;
  }
  if (parsed) return true;
  fault->printed = true;
  fault->toUdfErrorFile = false;
  if (error == "UNKNOWN EXCEPTION") {
    fault->message = "ERROR: Configuration file parse unknown exception!\n";
  } else {
    std::string id;
    std::string message;
    splitParseError(error, &id, &message);
    fault->message = "ERROR: Configuration file parse exception:\n" + id + "\n" + message + "\n";
    fault->cause = "the XML does not parse: " + message;
  }
  return false;
}

std::string udfErrorFileName() {
  return "3p_aas_error_" + std::to_string(solvarium::platform::currentProcessId()) + ".txt";
}

std::string udfKeyFileName(int argc, const char* const* argv) {
  return optionValue(argc, argv, 1, true, "-aas-key-file", "aaSUdf_Id.txt");
}

std::string udfConfigFileName(int argc, const char* const* argv) {
  return optionValue(argc, argv, 0, false, "-aas-config-file", "aas_udf_instant.xml");
}

std::unique_ptr<CAasUdfXmlHandler> loadUdfDescription(const solvarium::StartContext& context) {
  const std::string path = udfConfigFileName(context.argc, context.argv);
  std::string text;
  std::string error;
  if (!solvarium::readWholeFile(path, &text, &error)) {
    solvarium::diagnostic(
        "Start-up failed: %s: write the UDF description there, or name it with "
        "-aas-config-file <file>\n",
        error.c_str());
    const std::string line = "Error reading configuration file!<" + path + ">\n";
    solvarium::printText(line);
    solvarium::appendText(udfErrorFileName(), line);
    solvarium::endProcess(solvarium::kExitStartFailed);
  }
  std::unique_ptr<CAasUdfXmlHandler> handler(new CAasUdfXmlHandler(context.environment));
  UdfDescriptionFault fault;
  const bool read = readUdfDescription(text, handler.get(), &fault);
  for (const std::string& warning : handler->warnings) {
    solvarium::appendText(udfErrorFileName(), warning);
  }
  if (read) return handler;
  const std::string cause =
      fault.cause.empty() ? solvarium::firstTextLine(fault.message) : fault.cause;
  solvarium::diagnostic("Start-up failed: %s: fix the UDF description '%s'\n", cause.c_str(),
                        path.c_str());
  if (fault.printed) solvarium::printText(fault.message);
  solvarium::appendText(fault.toUdfErrorFile ? kUdfErrorFile : udfErrorFileName(),
                        fault.message);
  solvarium::endProcess(solvarium::kExitStartFailed);
}

}  // namespace AAS_UDF
