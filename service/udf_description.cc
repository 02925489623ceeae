#include "service/udf_description.h"

#include "common/safe_file.h"
#include "platform/process.h"
#include "service/service_log.h"
#include "service/start_options.h"

namespace solvarium {

namespace {

UdfDescriptionReader& registeredReader() {
  static UdfDescriptionReader reader = nullptr;
  return reader;
}

}  // namespace

void registerUdfDescriptionReader(UdfDescriptionReader reader) { registeredReader() = reader; }

std::string udfErrorFileName() {
  return "3p_aas_error_" + std::to_string(platform::currentProcessId()) + ".txt";
}

const UdfDescription* loadUdfConfiguration(int argc, const char* const* argv,
                                           const Environment& environment) {
  const std::string path = udfConfigFileName(argc, argv);
  std::string text;
  std::string error;
  if (!readWholeFile(path, &text, &error)) {
    const std::string line = "Error reading configuration file!<" + path + ">\n";
    printText(line);
    appendText(udfErrorFileName(), line);
    endProcess(1);
  }
  if (registeredReader() != nullptr) return registeredReader()(path, text, environment);
  static UdfDescription description;
  description.path = path;
  description.text = text;
  return &description;
}

}  // namespace solvarium
