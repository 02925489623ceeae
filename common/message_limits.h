// The GIOP message limit that the service and solvarium-client give their
// ORB, and the largest file moved in one message under it.
#ifndef SOLVARIUM_COMMON_MESSAGE_LIMITS_H_
#define SOLVARIUM_COMMON_MESSAGE_LIMITS_H_

#include <cstdint>

namespace solvarium {

// Must stay below 2^31: omniORB 4.2 checks a request's object-key length
// against the message size as a signed number, so with a limit of 2 GiB or
// more one message whose key length is 2^31 or more overwrites its heap.
constexpr std::uint32_t kMaxGiopMessageBytes = 2147483647U;

// Largest file that fits one octet sequence under that limit (headers and
// the file name take the rest).
constexpr std::uint64_t kMaxTransferBytes = kMaxGiopMessageBytes - 1024ULL * 1024ULL;

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_MESSAGE_LIMITS_H_
