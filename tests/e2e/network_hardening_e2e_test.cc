// What anyone who reaches the port, or another local user, could do before:
// stray GIOP fragments, guessable object keys, readable key files, a reused
// solver pid, client values taken as program options.
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "tests/support/brox_e2e_fixture.h"
#include "tests/support/raw_giop.h"

namespace solvarium_test {
namespace {

// Sends `bytes` on `connections` fresh connections, four at a time, reading
// whatever comes back for a moment before each is closed.
void sendOnFreshConnections(const IiopAddress& to, const std::string& bytes, int connections) {
  std::vector<std::thread> workers;
  for (int w = 0; w < 4; ++w) {
    workers.emplace_back([&, w] {
      for (int i = w; i < connections; i += 4) {
        const int fd = connectTo(to.host, to.port);
        if (fd < 0) return;
        sendThrottled(fd, bytes, 0);
        char sink[4096];
        pollfd ready{fd, POLLIN, 0};
        while (::poll(&ready, 1, 50) > 0 && ::recv(fd, sink, sizeof sink, 0) > 0) {
        }
        ::close(fd);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
}

class NetworkHardeningTest : public BroxE2eTest {};

TEST_F(NetworkHardeningTest, StrayFragmentsLeaveTheServiceServing) {
  startService();
  CORBA::String_var ior = testOrb()->object_to_string(client().scripting().in());
  const IiopAddress to = iorAddress(ior.in());
  ASSERT_GT(to.port, 0);
  const std::string bogus = "no such object";
  std::string pairs;
  for (uint32_t id = 1; id <= 20; ++id) {
    pairs += giopRequest(id, bogus, "getSolverId", "", false) + giopFragment(id);
  }
  const std::vector<std::pair<const char*, std::string>> sequences = {
      {"1.2 Request, Fragment", giopRequest(5, bogus, "getSolverId", "", false) + giopFragment(5)},
      {"1.2 Request on a real key, Fragment",
       giopRequest(5, to.objectKey, "getAcessType", "", false) + giopFragment(5)},
      {"1.0 Request, 1.2 Fragment", giopRequest1x(0, 5, bogus, "getSolverId") + giopFragment(5)},
      {"1.1 Request, 1.2 Fragment", giopRequest1x(1, 5, bogus, "getSolverId") + giopFragment(5)},
      {"LocateRequest, Fragment", giopLocateRequest(5, bogus) + giopFragment(5)},
      {"Request, CancelRequest, Fragment",
       giopRequest(5, to.objectKey, "getAcessType", "", false) + giopCancelRequest(5) +
           giopFragment(5)},
      {"twenty Request+Fragment pairs", pairs}};
  for (const auto& sequence : sequences) {
    sendOnFreshConnections(to, sequence.second, 200);
    ASSERT_TRUE(service().running()) << "ended by: " << sequence.first;
  }
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
}

}  // namespace
}  // namespace solvarium_test
