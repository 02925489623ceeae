// solvarium-client's usage: --help and -h print it on stdout with each
// verb's description and end with 0; a usage error says what was wrong, then
// gives the short usage, on stderr with code 2. Against servers on 127.0.0.1
// that never answer or forward every call to themselves, it ends.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/harness.h"
#include "tests/support/raw_giop.h"
#include "tools/client_verbs.h"

namespace {

using solvarium_test::ProcessResult;

ProcessResult runClient(const std::vector<std::string>& args) {
  std::vector<std::string> argv{SOLVARIUM_CLIENT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  solvarium_test::Environment env;
  for (const char* name :
       {"PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS", "TSAN_OPTIONS"}) {
    if (const char* value = std::getenv(name)) env[name] = value;
  }
  return solvarium_test::runProgram(argv, env, ".");
}

TEST(ClientUsageTest, HelpPrintsEveryVerbWithItsDescription) {
  const std::vector<solvarium::client::Verb> verbs = solvarium::client::allVerbs();
  for (const char* flag : {"--help", "-h"}) {
    const ProcessResult help = runClient({flag});
    EXPECT_EQ(help.exitCode, 0) << flag;
    EXPECT_EQ(help.err, "") << flag;
    EXPECT_EQ(help.out.rfind("usage: solvarium-client [-n] ", 0), 0u) << help.out;
    for (const solvarium::client::Verb& verb : verbs) {
      EXPECT_NE(help.out.find("\n  " + verb.name + " "), std::string::npos) << verb.name;
      EXPECT_NE(help.out.find("\n      " + verb.what + "\n"), std::string::npos) << verb.name;
    }
  }
  EXPECT_EQ(runClient({"-n", "--help"}).exitCode, 0);

  const ProcessResult version = runClient({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("solvarium-client ", 0), 0u) << version.out;
  EXPECT_EQ(version.err, "");

  // A usage error: what was wrong, then the usage without descriptions, on
  // stderr, code 2; nothing is run (the key file is not even read).
  const std::vector<std::pair<std::vector<std::string>, std::string>> errors = {
      {{}, "missing KEYFILE and VERB"},
      {{"key.txt"}, "missing VERB after KEYFILE"},
      {{"key.txt", "no-such-verb"}, "unknown verb 'no-such-verb'"},
      {{"key.txt", "fs"}, "missing OPERATION after 'fs'"},
      {{"key.txt", "fs", "rename", "a"}, "unknown operation 'rename' of 'fs'"},
      {{"key.txt", "solver-unit", "getSolverId", "extra"},
       "'solver-unit getSolverId' takes 0 arguments, not 1"},
      {{"key.txt", "fs", "download", "a", "b", "c"}, "'fs download' takes 2 arguments, not 3"},
      {{"key.txt", "script"}, "'script' needs COMMAND..."},
      {{"--timeout", "soon", "key.txt", "script", "x"},
       "--timeout takes a number of seconds, not 'soon'"}};
  for (const auto& error : errors) {
    const ProcessResult bad = runClient(error.first);
    EXPECT_EQ(bad.exitCode, 2) << error.second;
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("solvarium-client: " + error.second + "\nusage: solvarium-client [-n] ",
                            0),
              0u)
        << bad.err;
    EXPECT_EQ(bad.err.find(verbs.front().what), std::string::npos) << bad.err;
  }
}

// A GIOP server on 127.0.0.1 that reads requests and either never answers or
// answers each with a LOCATION_FORWARD to `forwardIor` (an IOR text).
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
      solvarium_test::CdrWriter reply;
      reply.bytes() = std::string("GIOP\x01\x02\x01\x01", 8);
      reply.ulong(0);
      reply.bytes() += message.substr(12, 4);  // the request id
      reply.ulong(3);                          // LOCATION_FORWARD
      reply.ulong(0);                          // no service contexts
      reply.bytes() += forward;
      std::string& bytes = reply.bytes();
      const uint32_t length = static_cast<uint32_t>(bytes.size() - 12);
      for (int b = 0; b < 4; ++b) bytes[8 + b] = static_cast<char>(length >> (8 * b));
      solvarium_test::sendThrottled(fd, bytes, 0);
    }
  }

  int listener_ = -1;
  int port_ = 0;
  std::mutex forwardMutex_;
  std::string forward_;  // guarded by forwardMutex_
  std::map<int, std::string> connections_;  // fd -> bytes not yet a whole message
  std::atomic<bool> stop_{false};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

TEST(ClientUsageTest, SilentOrForwardingServerEndsTheCall) {
  FakeGiopServer silent;
  ASSERT_GT(silent.port(), 0);
  const std::string silentKey =
      "corbaloc::1.2@127.0.0.1:" + std::to_string(silent.port()) + "/SolverUnit";
  const auto begin = std::chrono::steady_clock::now();
  const ProcessResult waited =
      runClient({"--timeout", "1", silentKey, "solver-unit", "getSolverId"});
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(15));
  EXPECT_FALSE(waited.timedOut);
  EXPECT_EQ(waited.exitCode, 2);
  EXPECT_NE(waited.out.find("\"exception\":\"CORBA::TIMEOUT\""), std::string::npos) << waited.out;

  FakeGiopServer forwarding;
  ASSERT_GT(forwarding.port(), 0);
  const std::string key =
      "corbaloc::1.2@127.0.0.1:" + std::to_string(forwarding.port()) + "/SolverUnit";
  CORBA::Object_var self = solvarium_test::testOrb()->string_to_object(key.c_str());
  CORBA::String_var selfIor = solvarium_test::testOrb()->object_to_string(self.in());
  forwarding.setForward(selfIor.in());
  const ProcessResult looped = runClient({"--timeout", "10", key, "solver-unit", "getSolverId"});
  EXPECT_EQ(looped.exitCode, 2);
  EXPECT_EQ(looped.out, "");
  EXPECT_EQ(looped.err,
            "solvarium-client: gave up after 100 requests: the server forwards the call in a "
            "loop\n");
  EXPECT_LE(forwarding.requests(), 101);
}

}  // namespace
