// Input split of the Grend monitor targets: the first byte chooses the
// filter words, the rest is the file's text.
#ifndef SOLVARIUM_TESTS_FUZZ_GREND_FUZZ_INPUT_H_
#define SOLVARIUM_TESTS_FUZZ_GREND_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "solvers/grend/grend_monitor_files.h"
#include "tests/fuzz/fuzz_check.h"

namespace solvarium_fuzz {

struct GrendInput {
  std::vector<std::string> filter;
  std::string text;
};

inline GrendInput grendInput(const uint8_t* data, std::size_t size) {
  static const std::vector<std::string> kFilters[] = {
      {},
      {"start_load_step_sub_step", "1", "2"},
      {"start_total_iter", "3"},
      {"start_total_time_lfact", "0.5"},
      {"start_time", "0.5"},
      {"start_cum_iter", "2"},
      {"start_load_step_sub_step", "1"},
      {"start_cum_iter", "-1"}};
  GrendInput input;
  if (size == 0) return input;
  input.filter = kFilters[data[0] % (sizeof kFilters / sizeof kFilters[0])];
  input.text.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
  return input;
}

// The property of the XML monitor targets: the gate returns, an accepted
// document gives exactly one JSON object, a refused one adds nothing.
inline void checkXmlMonitor(GREND::XmlMonitorKind kind, const char* fileName, const uint8_t* data,
                            std::size_t size) {
  const GrendInput input = grendInput(data, size);
  std::string json;
  std::string error;
  if (GREND::appendXmlMonitorJson(kind, &json, fileName, input.text, input.filter, &error)) {
    checkJson(json, "monitor object of an accepted document");
    check(json.front() == '{' && json.back() == '}', "not one object", json);
  } else {
    check(json.empty(), "a refused document added text", json);
    check(!error.empty(), "refusal without a text", input.text);
  }
}

}  // namespace solvarium_fuzz

#endif  // SOLVARIUM_TESTS_FUZZ_GREND_FUZZ_INPUT_H_
