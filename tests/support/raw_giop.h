// A raw IIOP client for hostile-client tests: builds GIOP messages by hand
// (little-endian, no service contexts) and sends them over a plain TCP
// socket, whole, throttled or cut short.
#ifndef SOLVARIUM_TESTS_SUPPORT_RAW_GIOP_H_
#define SOLVARIUM_TESTS_SUPPORT_RAW_GIOP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace solvarium_test {

// Little-endian CDR writer; alignment counts from the first byte written.
class CdrWriter {
 public:
  void align(std::size_t n);
  void octet(uint8_t v) { bytes_.push_back(static_cast<char>(v)); }
  void ushort(uint16_t v);
  void ulong(uint32_t v);
  void string(const std::string& s);  // length with the NUL, bytes, NUL
  void octets(const std::string& s);  // sequence<octet>
  std::string& bytes() { return bytes_; }

 private:
  std::string bytes_;
};

// A GIOP 1.2 Request message (header included) for `operation` on
// `objectKey`. `arguments` is CDR written from an 8-aligned start, as the
// request body is. `moreFragments` sets the header's fragment flag.
std::string giopRequest(uint32_t requestId, const std::string& objectKey,
                        const std::string& operation, const std::string& arguments,
                        bool moreFragments);

// A Request of GIOP 1.0 or 1.1 (`minor` 0 or 1) without arguments.
std::string giopRequest1x(uint8_t minor, uint32_t requestId, const std::string& objectKey,
                          const std::string& operation);
// A GIOP 1.2 LocateRequest for `objectKey`.
std::string giopLocateRequest(uint32_t requestId, const std::string& objectKey);
// A LocateRequest of GIOP 1.0 or 1.1 (`minor` 0 or 1).
std::string giopLocateRequest1x(uint8_t minor, uint32_t requestId, const std::string& objectKey);
// GIOP 1.2 messages whose body is the request id alone.
std::string giopFragment(uint32_t requestId);
std::string giopCancelRequest(uint32_t requestId);

// A connected TCP socket to host:port, or -1.
int connectTo(const std::string& host, int port);
// True when the peer closes `fd` within `ms` (what it sent before is read).
bool closedWithin(int fd, int ms);

// Connections to host:port from 4 threads, as fast as they go until
// `seconds` have passed, each in turn closed (FIN), sent "GIOP" and reset
// (RST), half-closed and closed, or reset, while `sample` is called every
// 5 ms. Answers how many were made.
long connectionStorm(const std::string& host, int port, double seconds,
                     const std::function<void()>& sample);

// Sends every byte, at most `bytesPerSecond` of them per second (0: no
// limit). False when the peer closed or an error occurred.
bool sendThrottled(int fd, const std::string& bytes, std::size_t bytesPerSecond);
// Reads one GIOP Reply and answers its reply status (0: no exception), or -1
// when the connection closed, the message was not a reply or none came
// within `timeoutMs`.
int readReplyStatus(int fd, int timeoutMs);

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_RAW_GIOP_H_
