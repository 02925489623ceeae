// The Grend ".cnd" handler behind the XML gate; property in grend_fuzz_input.h.
#include <cstddef>
#include <cstdint>

#include "tests/fuzz/grend_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  solvarium_fuzz::checkXmlMonitor(GREND::XmlMonitorKind::kCnd, "dash/monitor.cnd", data, size);
  return 0;
}
