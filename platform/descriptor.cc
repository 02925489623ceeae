#include "platform/descriptor.h"

#include <unistd.h>

#include <cerrno>

namespace solvarium {
namespace platform {

Descriptor::~Descriptor() {
  if (fd_ >= 0) ::close(fd_);
}

std::size_t Descriptor::read(void* data, std::size_t size, int* error) const {
  char* next = static_cast<char*>(data);
  std::size_t done = 0;
  *error = 0;
  while (done < size) {
    const ssize_t got = ::read(fd_, next + done, size - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) *error = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

}  // namespace platform
}  // namespace solvarium
