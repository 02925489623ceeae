// Hostile and slow clients, confinement of client-named files, and data that
// must not be lost, end to end over IIOP.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <thread>

#include "tests/support/harness.h"
#include "tests/support/raw_giop.h"

namespace solvarium_test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point begin) {
  return std::chrono::duration<double>(Clock::now() - begin).count();
}

class HardeningTest : public ServiceTest {
 protected:
  template <typename Reference>
  IiopAddress targetOf(const Reference& reference) {
    CORBA::String_var ior = testOrb()->object_to_string(reference.in());
    return iorAddress(ior.in());
  }
};

TEST_F(HardeningTest, StalledAndSlowClientsHoldUpNoOtherClient) {
  startBrox();
  const IiopAddress scripting = targetOf(client().scripting());
  const IiopAddress files = targetOf(client().fileSystem());
  ASSERT_GT(scripting.port, 0);
  ASSERT_FALSE(scripting.objectKey.empty());

  // A request whose first fragment announces a 1,000-byte command, holds 8
  // bytes of it and says more fragments follow; then nothing.
  CdrWriter partial;
  partial.ulong(1000);
  partial.bytes() += "aaS.get_";
  const int stalled = connectTo(scripting.host, scripting.port);
  ASSERT_GE(stalled, 0);
  ASSERT_TRUE(sendThrottled(
      stalled, giopRequest(1, scripting.objectKey, "executeToString", partial.bytes(), true), 0));
  std::this_thread::sleep_for(milliseconds(300));

  Clock::time_point begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
  EXPECT_EQ(client().broxCommand("aaS.get implicit_will_amends"), "on");
  EXPECT_LT(secondsSince(begin), 5.0);

  // An upload sent at 500 kB/s for 3 s, in one message, arrives whole, and
  // other clients are answered while it is still arriving.
  std::string content(1500000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  CdrWriter upload;
  upload.string("slow.bin");
  upload.octets(content);
  const std::string message = giopRequest(2, files.objectKey, "uploadFile", upload.bytes(), false);
  const int slow = connectTo(files.host, files.port);
  ASSERT_GE(slow, 0);
  std::future<int> uploaded = std::async(std::launch::async, [&] {
    if (!sendThrottled(slow, message, 500000)) return -2;
    return readReplyStatus(slow, 30000);
  });
  std::this_thread::sleep_for(milliseconds(1000));
  begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.get implicit_will_amends"), "on");
  EXPECT_LT(secondsSince(begin), 1.0);
  EXPECT_EQ(uploaded.wait_for(seconds(0)), std::future_status::timeout);  // still sending
  EXPECT_EQ(uploaded.get(), 0);                                          // NO_EXCEPTION
  EXPECT_TRUE(readFile(workFile("slow.bin")) == content);

  // The stalled client still holds nothing.
  begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
  EXPECT_LT(secondsSince(begin), 1.0);
  ::close(stalled);
  ::close(slow);
}

}  // namespace
}  // namespace solvarium_test
