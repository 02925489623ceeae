// Bytes from the kernel's random source, for secrets such as object ids.
#ifndef SOLVARIUM_PLATFORM_RANDOM_BYTES_H_
#define SOLVARIUM_PLATFORM_RANDOM_BYTES_H_

#include <cstddef>

namespace solvarium {
namespace platform {

// Fills `buffer` with `size` bytes from getrandom() (interrupted and short
// reads are continued). False, with errno set, when the kernel gives none;
// the buffer must then not be used.
bool randomBytes(void* buffer, std::size_t size);

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_RANDOM_BYTES_H_
