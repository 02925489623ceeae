#include "tests/support/raw_giop.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace solvarium_test {

void CdrWriter::align(std::size_t n) {
  while (bytes_.size() % n != 0) bytes_.push_back('\0');
}

void CdrWriter::ushort(uint16_t v) {
  align(2);
  for (int i = 0; i < 2; ++i) octet(static_cast<uint8_t>(v >> (8 * i)));
}

void CdrWriter::ulong(uint32_t v) {
  align(4);
  for (int i = 0; i < 4; ++i) octet(static_cast<uint8_t>(v >> (8 * i)));
}

void CdrWriter::string(const std::string& s) {
  ulong(static_cast<uint32_t>(s.size() + 1));
  bytes_ += s;
  bytes_.push_back('\0');
}

void CdrWriter::octets(const std::string& s) {
  ulong(static_cast<uint32_t>(s.size()));
  bytes_ += s;
}

namespace {

enum MessageType : uint8_t { kRequest = 0, kCancelRequest = 2, kLocateRequest = 3, kFragment = 7 };

// A GIOP 1.`minor` header, little-endian, with its size left to finish().
CdrWriter messageStart(uint8_t minor, MessageType type, bool moreFragments = false) {
  CdrWriter w;
  w.bytes() = "GIOP";
  w.octet(1);
  w.octet(minor);
  w.octet(moreFragments ? 0x03 : 0x01);  // little-endian, fragment flag
  w.octet(type);
  w.ulong(0);
  return w;
}

std::string finish(CdrWriter& w) {
  std::string& bytes = w.bytes();
  const uint32_t size = static_cast<uint32_t>(bytes.size() - 12);
  for (int i = 0; i < 4; ++i) bytes[8 + i] = static_cast<char>(size >> (8 * i));
  return bytes;
}

std::string idMessage(MessageType type, uint32_t requestId) {
  CdrWriter w = messageStart(2, type);
  w.ulong(requestId);
  return finish(w);
}

}  // namespace

std::string giopRequest(uint32_t requestId, const std::string& objectKey,
                        const std::string& operation, const std::string& arguments,
                        bool moreFragments) {
  CdrWriter w = messageStart(2, kRequest, moreFragments);
  w.ulong(requestId);
  w.octet(3);  // response expected
  w.octet(0);
  w.octet(0);
  w.octet(0);
  w.ushort(0);  // KeyAddr
  w.octets(objectKey);
  w.string(operation);
  w.ulong(0);  // no service contexts
  if (!arguments.empty()) {
    w.align(8);
    w.bytes() += arguments;
  }
  return finish(w);
}

std::string giopRequest1x(uint8_t minor, uint32_t requestId, const std::string& objectKey,
                          const std::string& operation) {
  CdrWriter w = messageStart(minor, kRequest);
  w.ulong(0);  // no service contexts
  w.ulong(requestId);
  w.octet(1);  // response expected
  if (minor == 1) w.bytes().append(3, '\0');  // reserved
  w.octets(objectKey);
  w.string(operation);
  w.octets("");  // requesting principal
  return finish(w);
}

std::string giopLocateRequest(uint32_t requestId, const std::string& objectKey) {
  CdrWriter w = messageStart(2, kLocateRequest);
  w.ulong(requestId);
  w.ushort(0);  // KeyAddr
  w.octets(objectKey);
  return finish(w);
}

std::string giopLocateRequest1x(uint8_t minor, uint32_t requestId, const std::string& objectKey) {
  CdrWriter w = messageStart(minor, kLocateRequest);
  w.ulong(requestId);
  w.octets(objectKey);
  return finish(w);
}

std::string giopFragment(uint32_t requestId) { return idMessage(kFragment, requestId); }
std::string giopCancelRequest(uint32_t requestId) { return idMessage(kCancelRequest, requestId); }

int connectTo(const std::string& host, int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1 ||
      ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool closedWithin(int fd, int ms) {
  pollfd ready{fd, POLLIN, 0};
  char sink[4096];
  ssize_t got = 1;
  while (got > 0 && ::poll(&ready, 1, ms) > 0) got = ::recv(fd, sink, sizeof sink, MSG_DONTWAIT);
  return got <= 0;
}

long connectionStorm(const std::string& host, int port, double seconds,
                     const std::function<void()>& sample) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  std::atomic<long> made{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < 4; ++c) {
    clients.emplace_back([&] {
      const linger reset{1, 0};
      for (long i = 0; std::chrono::steady_clock::now() < until; ++i) {
        const int fd = connectTo(host, port);
        if (fd < 0) continue;
        ++made;
        if (i % 4 == 1) sendThrottled(fd, "GIOP", 0);
        if (i % 4 == 2) ::shutdown(fd, SHUT_WR);
        if (i % 2 == 1) ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        ::close(fd);
      }
    });
  }
  while (std::chrono::steady_clock::now() < until) {
    sample();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (std::thread& client : clients) client.join();
  return made;
}

bool sendThrottled(int fd, const std::string& bytes, std::size_t bytesPerSecond) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  const std::size_t chunk = bytesPerSecond == 0 ? bytes.size() : std::max<std::size_t>(1, bytesPerSecond / 50);
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    if (bytesPerSecond != 0) {
      const auto due = start + std::chrono::microseconds(sent * 1000000 / bytesPerSecond);
      std::this_thread::sleep_until(due);
    }
    const std::size_t n = std::min(chunk, bytes.size() - sent);
    const ssize_t done = ::send(fd, bytes.data() + sent, n, MSG_NOSIGNAL);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) return false;
    sent += static_cast<std::size_t>(done);
  }
  return true;
}

namespace {

bool readExactly(int fd, char* data, std::size_t size, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (size > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t got = ::recv(fd, data, size, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    data += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

uint32_t ulongAt(const char* p, bool little) {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) {
    const uint32_t b = static_cast<unsigned char>(p[little ? i : 3 - i]);
    v |= b << (8 * i);
  }
  return v;
}

}  // namespace

int readReplyStatus(int fd, int timeoutMs) {
  char header[12];
  if (!readExactly(fd, header, sizeof header, timeoutMs)) return -1;
  const bool little = (header[6] & 0x01) != 0;
  if (std::string(header, 4) != "GIOP" || header[7] != 1) return -1;  // 1: Reply
  const uint32_t size = ulongAt(header + 8, little);
  if (size < 8) return -1;
  std::string body(size, '\0');
  if (!readExactly(fd, &body[0], size, timeoutMs)) return -1;
  return static_cast<int>(ulongAt(body.data() + 4, little));  // after the request id
}

}  // namespace solvarium_test
