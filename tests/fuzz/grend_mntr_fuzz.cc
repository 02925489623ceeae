// The Grend ".mntr" reader over any text: one JSON object, with or without
// a filter, and the same object again for the same text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "solvers/grend/grend_mntr_reader.h"
#include "tests/fuzz/grend_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const solvarium_fuzz::GrendInput input = solvarium_fuzz::grendInput(data, size);
  std::string json;
  GREND::appendMntrMonitorJson(&json, "dash/\"job\".mntr", input.text, input.filter);
  solvarium_fuzz::checkJson(json, "monitor object");
  std::string again;
  GREND::appendMntrMonitorJson(&again, "dash/\"job\".mntr", input.text, input.filter);
  solvarium_fuzz::check(json == again, "not stable", json + "\n----\n" + again);
  return 0;
}
