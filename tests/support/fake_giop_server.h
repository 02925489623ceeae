// A GIOP server on 127.0.0.1 for clients under test (header only).
#ifndef SOLVARIUM_TESTS_SUPPORT_FAKE_GIOP_SERVER_H_
#define SOLVARIUM_TESTS_SUPPORT_FAKE_GIOP_SERVER_H_

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/raw_giop.h"

namespace solvarium_test {

// A GIOP server on 127.0.0.1 that reads requests and either never answers or
// answers each with a LOCATION_FORWARD to `forwardIor` (an IOR text), or
// after setAnswer, as a name service whose resolve answers late.
class FakeGiopServer {
 public:
  explicit FakeGiopServer(std::string forwardIor = "") : forward_(iorBody(forwardIor)) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof addr;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::listen(listener_, 16) == 0 &&
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
      port_ = ntohs(addr.sin_port);
    }
    thread_ = std::thread([this] { serve(); });
  }
  ~FakeGiopServer() {
    stop_ = true;
    thread_.join();
    for (const auto& connection : connections_) ::close(connection.first);
    ::close(listener_);
  }
  int port() const { return port_; }
  void setForward(const std::string& ior) {
    const std::lock_guard<std::mutex> lock(forwardMutex_);
    forward_ = iorBody(ior);
  }
  void setAnswer(const std::string& ior, int delayMs) {
    answerDelayMs_ = delayMs;
    setForward(ior);
  }
  int requests() const { return requests_; }

 private:
  // The IOR's CDR (after its byte-order octet and padding), little-endian only.
  static std::string iorBody(const std::string& ior) {
    std::string bytes;
    for (std::size_t i = 4; i + 1 < ior.size(); i += 2) {
      bytes.push_back(static_cast<char>(std::stoi(ior.substr(i, 2), nullptr, 16)));
    }
    return bytes.size() > 4 && bytes[0] == 1 ? bytes.substr(4) : std::string();
  }

  void serve() {
    while (!stop_) {
      std::vector<pollfd> fds{{listener_, POLLIN, 0}};
      for (const auto& connection : connections_) fds.push_back({connection.first, POLLIN, 0});
      if (::poll(fds.data(), fds.size(), 50) <= 0) continue;
      if (fds[0].revents & POLLIN) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) connections_[fd];
      }
      for (std::size_t i = 1; i < fds.size(); ++i) {
        if (fds[i].revents == 0) continue;
        char buffer[4096];
        const ssize_t got = ::recv(fds[i].fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
          ::close(fds[i].fd);
          connections_.erase(fds[i].fd);
          continue;
        }
        std::string& pending = connections_[fds[i].fd];
        pending.append(buffer, static_cast<std::size_t>(got));
        answer(fds[i].fd, &pending);
      }
    }
  }

  // Takes the whole messages off `pending`; a Request (GIOP 1.2,
  // little-endian) gets the forward when there is one.
  void answer(int fd, std::string* pending) {
    while (pending->size() >= 12) {
      const uint32_t size = static_cast<unsigned char>((*pending)[8]) |
                            static_cast<unsigned char>((*pending)[9]) << 8 |
                            static_cast<unsigned char>((*pending)[10]) << 16 |
                            static_cast<uint32_t>(static_cast<unsigned char>((*pending)[11])) << 24;
      if (pending->size() < 12 + size) return;
      const std::string message = pending->substr(0, 12 + size);
      pending->erase(0, 12 + size);
      if (message[7] != 0 || message.size() < 16) continue;
      ++requests_;
      std::string forward;
      {
        const std::lock_guard<std::mutex> lock(forwardMutex_);
        forward = forward_;
      }
      if (forward.empty()) continue;
      CdrWriter reply;
      reply.bytes() = std::string("GIOP\x01\x02\x01\x01", 8);
      reply.ulong(0);
      reply.bytes() += message.substr(12, 4);  // the request id
      // With an answer set, "_is_a" gets true at once and any other operation
      // the reference late.
      const bool answering = answerDelayMs_ > 0;
      const bool isA = answering && message.find(std::string("_is_a\0", 6)) != std::string::npos;
      if (answering && !isA) std::this_thread::sleep_for(std::chrono::milliseconds(answerDelayMs_));
      reply.ulong(answering ? 0 : 3);  // NO_EXCEPTION or LOCATION_FORWARD
      reply.ulong(0);                  // no service contexts
      reply.bytes() += isA ? std::string(1, '\1') : forward;
      std::string& bytes = reply.bytes();
      const uint32_t length = static_cast<uint32_t>(bytes.size() - 12);
      for (int b = 0; b < 4; ++b) bytes[8 + b] = static_cast<char>(length >> (8 * b));
      sendThrottled(fd, bytes, 0);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::mutex forwardMutex_;
  std::string forward_;  // guarded by forwardMutex_
  std::map<int, std::string> connections_;  // fd -> bytes not yet a whole message
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> answerDelayMs_{0};
  std::thread thread_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_FAKE_GIOP_SERVER_H_
