#include "service/service_log.h"

#include <cstdio>
#include <cstdlib>

#include "platform/process.h"

// AddressSanitizer builds check for leaks here: _Exit skips the check at exit.
#if defined(__SANITIZE_ADDRESS__)
#define SOLVARIUM_LEAK_CHECK 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOLVARIUM_LEAK_CHECK 1
#endif
#endif
#ifdef SOLVARIUM_LEAK_CHECK
#include <sanitizer/lsan_interface.h>
#endif

namespace solvarium {

bool appendText(const std::string& fileName, const std::string& text) {
  std::FILE* file = std::fopen(fileName.c_str(), "ae");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return (std::fclose(file) == 0) && written;
}

void printText(const std::string& text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

std::string instantErrorFileName() {
  return "instant_aas_error_" + std::to_string(platform::currentProcessId()) + ".txt";
}

void endProcess(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
#ifdef SOLVARIUM_LEAK_CHECK
  __lsan_do_leak_check();
#endif
  std::_Exit(code);
}

}  // namespace solvarium
