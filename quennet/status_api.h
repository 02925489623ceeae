// The work behind the library's exported functions (see quennet_exports.cc),
// kept in the internal library so tests can call it directly. No exception
// leaves these functions except std::bad_alloc while building a message.
#ifndef SOLVARIUM_QUENNET_STATUS_API_H_
#define SOLVARIUM_QUENNET_STATUS_API_H_

#include <cstdint>
#include <string>

#include "quennet/brox_status.h"

namespace quennet {

// Copies `message` into the caller's buffer `*messageBuffer` of
// `messageLength` characters: at most messageLength - 1 characters, the rest
// of the buffer NUL. Returns 1 when the whole message fitted, -1 when it was
// cut or nothing could be written (no buffer, length <= 0).
int32_t deliverMessage(const std::string& message, char** messageBuffer, int32_t messageLength);

// Makes and fills a status object of `directory` (null: ".") and stores it
// in `*status` (0). On failure `*status` is unchanged, no lock file is left
// and the message goes to the buffer (1 or -1).
int32_t getBroxStatus(const char* directory, BroxStatusReader** status, char** messageBuffer,
                      int32_t messageLength);

// Destroys `*status` (deleting its lock files) and sets it to null (0). A
// null `*status` is left alone (0); a null `status` is refused (1 or -1).
int32_t releaseBroxStatus(BroxStatusReader** status, char** messageBuffer, int32_t messageLength);

// Reads the status of "." and discards it: 0 on success, 1 on any failure.
int32_t selfTest();

}  // namespace quennet

#endif  // SOLVARIUM_QUENNET_STATUS_API_H_
