// XML gate with the report-plot handler. Input: a first line of filter
// pairs separated by '|' (e.g. plot-list|"P;Q"|variable-list|"Y"), then the
// document. Property (xml_fuzz_check.h), and every collected plot variable
// passed the variable filter.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "solvers/brox/brox_plot_metadata_handler.h"
#include "tests/fuzz/xml_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\n');
  std::vector<std::string> filters;
  if (cut != std::string::npos) {
    const std::string line = input.substr(0, cut);
    for (std::size_t start = 0; start <= line.size();) {
      std::size_t end = line.find('|', start);
      if (end == std::string::npos) end = line.size();
      filters.push_back(line.substr(start, end - start));
      start = end + 1;
    }
  }
  BROX::CXmlToJsonPlotMetaDataHandler handler(filters);
  const std::string document = cut == std::string::npos ? input : input.substr(cut + 1);
  if (solvarium_fuzz::checkGatedHandler(document, handler) && !handler.variableFilter.empty()) {
    // Each written line adds its (filtered) y variable and its x variable.
    std::size_t passed = 0;
    for (const std::string& name : handler.plotVariables)
      passed += handler.variableFilter.count(name);
    solvarium_fuzz::check(passed > 0 || handler.plotVariables.empty(),
                          "plot variables without a filtered one", document);
  }
  return 0;
}
