#include "tests/support/ior.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cctype>
#include <cstdint>

namespace solvarium_test {

bool isCompleteIor(const std::string& text) {
  if (text.size() < 12 || text.compare(0, 4, "IOR:") != 0) return false;
  std::string hex = text.substr(4);
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r')) hex.pop_back();
  if (hex.size() % 2 != 0) return false;
  for (char c : hex)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

namespace {

// The IOR's encapsulated bytes; "" for a text that is not a complete IOR.
std::string iorBytes(const std::string& ior) {
  if (!isCompleteIor(ior)) return std::string();
  std::string hex = ior.substr(4);
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r')) hex.pop_back();
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

}  // namespace

std::string iorTypeId(const std::string& ior) {
  const std::string bytes = iorBytes(ior);
  if (bytes.size() < 8) return std::string();
  bool little = bytes[0] != 0;
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
  uint32_t len = little ? (b(4) | b(5) << 8 | b(6) << 16 | b(7) << 24)
                        : (b(7) | b(6) << 8 | b(5) << 16 | b(4) << 24);
  if (len == 0 || 8 + len > bytes.size()) return std::string();
  return bytes.substr(8, len - 1);  // without the terminating NUL
}

namespace {

// Reads CDR from a byte string; alignment is relative to `base`.
class CdrReader {
 public:
  // `base` is the encapsulation's first byte (the byte-order octet).
  CdrReader(const std::string& bytes, size_t base, bool little)
      : bytes_(bytes), base_(base), pos_(base + 1), little_(little) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  void skip(size_t n) { need(n) ? pos_ += n : 0; }
  uint8_t octet() { return need(1) ? static_cast<uint8_t>(bytes_[pos_++]) : 0; }
  uint16_t ushort() { return static_cast<uint16_t>(number(2)); }
  uint32_t ulong() { return static_cast<uint32_t>(number(4)); }
  std::string string() {
    uint32_t len = ulong();
    if (len == 0 || !need(len)) return std::string();
    std::string s = bytes_.substr(pos_, len - 1);
    pos_ += len;
    return s;
  }

 private:
  bool need(size_t n) {
    if (pos_ + n > bytes_.size()) ok_ = false;
    return ok_;
  }
  uint64_t number(size_t size) {
    while ((pos_ - base_) % size != 0) pos_++;
    if (!need(size)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) {
      uint64_t b = static_cast<unsigned char>(bytes_[pos_ + i]);
      v |= little_ ? b << (8 * i) : b << (8 * (size - 1 - i));
    }
    pos_ += size;
    return v;
  }
  const std::string& bytes_;
  size_t base_;
  size_t pos_;
  bool little_;
  bool ok_ = true;
};

}  // namespace

IiopAddress iorAddress(const std::string& ior) {
  IiopAddress a;
  std::string bytes = iorBytes(ior);
  if (bytes.empty()) return a;
  CdrReader r(bytes, 0, bytes[0] != 0);
  r.string();  // type id
  uint32_t profiles = r.ulong();
  for (uint32_t i = 0; i < profiles && r.ok(); ++i) {
    uint32_t tag = r.ulong();
    uint32_t len = r.ulong();
    size_t start = r.pos();
    if (tag == 0 && start < bytes.size()) {
      CdrReader p(bytes, start, bytes[start] != 0);
      p.octet();  // version major
      p.octet();  // version minor
      a.host = p.string();
      a.port = p.ushort();
      const uint32_t keyLength = p.ulong();
      const size_t keyStart = p.pos();
      p.skip(keyLength);
      if (p.ok()) {
        a.objectKey = bytes.substr(keyStart, keyLength);
        return a;
      }
      return IiopAddress();
    }
    r.skip(len);
  }
  return a;
}

int freeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

}  // namespace solvarium_test
