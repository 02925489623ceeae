// platform::Descriptor: a file descriptor closed when it goes out of scope,
// with the one read loop of the service.
#ifndef SOLVARIUM_PLATFORM_DESCRIPTOR_H_
#define SOLVARIUM_PLATFORM_DESCRIPTOR_H_

#include <cstddef>

namespace solvarium {
namespace platform {

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor();
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

  // Reads until `size` bytes are in or the file ends, retrying a read that a
  // signal interrupts; answers the bytes read. `*error` is the errno of a
  // failed read, else 0.
  std::size_t read(void* data, std::size_t size, int* error) const;

 private:
  int fd_;
};

}  // namespace platform
}  // namespace solvarium

#endif  // SOLVARIUM_PLATFORM_DESCRIPTOR_H_
