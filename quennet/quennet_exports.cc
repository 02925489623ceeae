// The only symbols libQuennet.so exports. Everything else stays hidden.
#include <cstdint>
#include <type_traits>

#include "quennet/brox_status.h"
#include "quennet/status_api.h"

#define QUENNET_EXPORT extern "C" __attribute__((visibility("default")))

QUENNET_EXPORT int32_t Zemvo(const void* /*argument*/) { return quennet::selfTest(); }

QUENNET_EXPORT int32_t get_BroxStatus(const char* directory, BroxStatusReader** status,
                                      char** messageBuffer, int32_t messageLength) {
  try {
    return quennet::getBroxStatus(directory, status, messageBuffer, messageLength);
  } catch (...) {
    return -1;  // out of memory while building the message
  }
}

QUENNET_EXPORT int32_t release_BroxStatus(BroxStatusReader** status, char** messageBuffer,
                                          int32_t messageLength) {
  try {
    return quennet::releaseBroxStatus(status, messageBuffer, messageLength);
  } catch (...) {
    return -1;
  }
}

static_assert(std::is_same<decltype(&Zemvo), ZemvoFn>::value, "Zemvo signature");
static_assert(std::is_same<decltype(&get_BroxStatus), GetBroxStatusFn>::value,
              "get_BroxStatus signature");
static_assert(std::is_same<decltype(&release_BroxStatus), ReleaseBroxStatusFn>::value,
              "release_BroxStatus signature");
