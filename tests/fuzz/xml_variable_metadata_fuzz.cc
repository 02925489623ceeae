// XML gate with the variable-name handler; property in xml_fuzz_check.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/brox/brox_variable_metadata_handler.h"
#include "tests/fuzz/xml_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  BROX::CXmlToJsonVariableMetaDataHandler handler;
  solvarium_fuzz::checkGatedHandler(std::string(reinterpret_cast<const char*>(data), size),
                                    handler);
  return 0;
}
