#include "tests/support/fake_session_manager.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace solvarium_test {

FakeSessionManager::FakeSessionManager() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 4) != 0)
    throw std::runtime_error("bind/listen on 127.0.0.1 failed");
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { run(); });
}

FakeSessionManager::~FakeSessionManager() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
}

std::string FakeSessionManager::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string FakeSessionManager::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

bool FakeSessionManager::waitForBytes(size_t count, milliseconds timeout) const {
  return waitUntil([&] { return received().size() >= count; }, timeout);
}

void FakeSessionManager::run() {
  int conn = -1;
  while (!stop_ && conn < 0) {
    pollfd p{listenFd_, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      conn = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (conn >= 0) accepted_ = true;
    }
  }
  while (!stop_ && conn >= 0 && !peerClosed_) {
    pollfd p{conn, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buf[4096];
    ssize_t n = recv(conn, buf, sizeof buf, 0);
    if (n > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      bytes_.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      peerClosed_ = true;
    }
  }
  if (conn >= 0) close(conn);
}

}  // namespace solvarium_test
