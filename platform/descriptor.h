// platform::Descriptor: a file descriptor closed when it goes out of scope,
// with the one read loop of the service; writeAll(): its one write loop.
#ifndef SOLVARIUM_PLATFORM_DESCRIPTOR_H_
#define SOLVARIUM_PLATFORM_DESCRIPTOR_H_

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace solvarium {
namespace platform {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

  // Reads until `size` bytes are in or the file ends, retrying a read that a
  // signal interrupts; answers the bytes read. `*error` is the errno of a
  // failed read, else 0.
  std::size_t read(void* data, std::size_t size, int* error) const {
    std::size_t done = 0;
    *error = 0;
    while (done < size) {
      const ssize_t got = ::read(fd_, static_cast<char*>(data) + done, size - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) *error = errno;
      if (got <= 0) break;
      done += static_cast<std::size_t>(got);
    }
    return done;
  }

 private:
  int fd_;
};

// Writes `size` bytes whole to `fd`, retrying a write that a signal
// interrupts. False when a write fails or takes nothing (`*error` then holds
// errno, when given).
inline bool writeAll(int fd, const void* data, std::size_t size, int* error = nullptr) {
  for (std::size_t done = 0; done < size;) {
    const ssize_t n = ::write(fd, static_cast<const char*>(data) + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (error != nullptr) *error = errno;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_DESCRIPTOR_H_
