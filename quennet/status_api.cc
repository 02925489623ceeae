#include "quennet/status_api.h"

#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>

#include "quennet/xoq/error.h"

namespace quennet {

namespace {

// Message for the exception being handled; call only inside a catch block.
std::string describeCurrentException() {
  try {
    throw;
  } catch (const xoq::Error& error) {
    return "Exception caught:\n" + error.message() + "\n";
  } catch (const std::exception& error) {
    return std::string("Exception caught:\n") + error.what() + "\n";
  } catch (...) {
    return "Unknown exception caught:\n";
  }
}

}  // namespace

int32_t deliverMessage(const std::string& message, char** messageBuffer, int32_t messageLength) {
  if (messageLength <= 0 || messageBuffer == nullptr || *messageBuffer == nullptr) return -1;
  char* buffer = *messageBuffer;
  const std::size_t room = static_cast<std::size_t>(messageLength) - 1;
  const std::size_t copied = message.size() < room ? message.size() : room;
  std::memcpy(buffer, message.data(), copied);
  std::memset(buffer + copied, 0, room - copied + 1);
  return message.size() <= room ? 1 : -1;
}

int32_t getBroxStatus(const char* directory, BroxStatusReader** status, char** messageBuffer,
                      int32_t messageLength) {
  try {
    if (status == nullptr) {
      throw std::invalid_argument("get_BroxStatus: no address given for the status object");
    }
    // On a throw the object is destroyed, which deletes any lock file left.
    std::unique_ptr<BroxStatusReader> reader(new BroxStatusReader(directory));
    reader->process();
    *status = reader.release();
    return 0;
  } catch (...) {
    return deliverMessage(describeCurrentException(), messageBuffer, messageLength);
  }
}

int32_t releaseBroxStatus(BroxStatusReader** status, char** messageBuffer, int32_t messageLength) {
  try {
    if (status == nullptr) {
      throw std::invalid_argument("release_BroxStatus: no address given for the status object");
    }
    if (*status == nullptr) return 0;
    delete *status;
    *status = nullptr;
    return 0;
  } catch (...) {
    return deliverMessage(describeCurrentException(), messageBuffer, messageLength);
  }
}

int32_t selfTest() {
  try {
    BroxStatusReader reader(".");
    reader.process();
  } catch (...) {
    return 1;
  }
  return 0;
}

}  // namespace quennet
