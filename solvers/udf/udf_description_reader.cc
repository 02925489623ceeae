#include "solvers/udf/udf_description_reader.h"

#include "common/xml_document.h"
#include "service/service_log.h"

namespace AAS_UDF {

namespace {

const char kSystemId[] = "AAS_UDF_XML";
const char kUdfErrorFile[] = "aas_udf_error.txt";

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
  }
  return false;
}

const solvarium::UdfDescription* loadUdfDescription(const std::string& path,
                                                    const std::string& text,
                                                    const solvarium::Environment& environment) {
  auto* handler = new CAasUdfXmlHandler(environment);  // the record; lives until the process ends
  handler->path = path;
  handler->text = text;
  UdfDescriptionFault fault;
  const bool read = readUdfDescription(text, handler, &fault);
  for (const std::string& warning : handler->warnings) {
    solvarium::appendText(solvarium::udfErrorFileName(), warning);
  }
  if (read) return handler;
  if (fault.printed) solvarium::printText(fault.message);
  solvarium::appendText(fault.toUdfErrorFile ? kUdfErrorFile : solvarium::udfErrorFileName(),
                        fault.message);
  solvarium::endProcess(1);
}

}  // namespace AAS_UDF
