#include "service/udf_description.h"

#include "common/safe_file.h"
#include "platform/process.h"
#include "service/service_log.h"
#include "service/start_options.h"

namespace solvarium {

const UdfDescription* loadUdfConfiguration(int argc, const char* const* argv) {
  static UdfDescription description;
  description.path = udfConfigFileName(argc, argv);
  std::string error;
  if (!readWholeFile(description.path, &description.text, &error)) {
    const std::string line = "Error reading configuration file!<" + description.path + ">\n";
    printText(line);
    appendText("3p_aas_error_" + std::to_string(platform::currentProcessId()) + ".txt", line);
    endProcess(1);
  }
  return &description;
}

}  // namespace solvarium
