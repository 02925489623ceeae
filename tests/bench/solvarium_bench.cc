// Benchmark of a running Solvarium over IIOP on 127.0.0.1: request round
// trips, file transfer through ICoFileSystem, and the run status of a large
// working directory read by the real libQuennet.so. Each case starts its own
// service in a sandbox (see tests/support/harness.h) and prints one line per
// measurement. Not registered with ctest.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

using Clock = std::chrono::steady_clock;
using KORLEN_AAS_v1_0_0::Types::CoOctetBuffer;
using KORLEN_AAS_v1_0_0::Types::CoOctetBuffer_var;

// Request count of the round-trip case; SOLVARIUM_BENCH_CALLS overrides it
// (bounded to keep the run short).
int callCount() {
  const char* text = std::getenv("SOLVARIUM_BENCH_CALLS");
  long n = text ? std::strtol(text, nullptr, 10) : 2000;
  return static_cast<int>(std::clamp(n, 10L, 20000L));
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Latency {
  double meanUs = 0;
  double p99Us = 0;
  double maxUs = 0;
};

// Times `calls` invocations of f after a short warm-up.
Latency measureCalls(int calls, const std::function<void()>& f) {
  for (int i = 0; i < 50; ++i) f();
  std::vector<double> us;
  us.reserve(static_cast<size_t>(calls));
  for (int i = 0; i < calls; ++i) {
    Clock::time_point start = Clock::now();
    f();
    us.push_back(secondsSince(start) * 1e6);
  }
  std::sort(us.begin(), us.end());
  Latency l;
  for (double v : us) l.meanUs += v;
  l.meanUs /= static_cast<double>(us.size());
  size_t p99 = (us.size() * 99 + 99) / 100 - 1;  // nearest-rank
  l.p99Us = us[std::min(p99, us.size() - 1)];
  l.maxUs = us.back();
  return l;
}

void printLatency(const char* what, int calls, const Latency& l) {
  std::printf("round trip %-36s n=%d  mean=%.1f us  p99=%.1f us  max=%.1f us\n", what, calls,
              l.meanUs, l.p99Us, l.maxUs);
  std::fflush(stdout);
}

// Deterministic, non-repeating content (xorshift64).
std::string patternBytes(size_t size, uint64_t seed) {
  std::string bytes(size, '\0');
  uint64_t x = seed | 1;
  for (size_t i = 0; i < size; i += 8) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    std::memcpy(&bytes[i], &x, std::min<size_t>(8, size - i));
  }
  return bytes;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

class SolvariumBench : public ServiceTest {
 protected:
  void startService() {
    startBrox();
    ASSERT_FALSE(::testing::Test::HasFailure()) << "service did not start";
  }
};

TEST_F(SolvariumBench, RequestRoundTrip) {
  ASSERT_NO_FATAL_FAILURE(startService());
  const int calls = callCount();
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = client().solverUnit();
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting = unit->getCommandScripting();

  CORBA::String_var first = scripting->executeToString("aaS.get_status");
  ASSERT_STREQ("solver-alive\n", first.in());
  Latency status = measureCalls(calls, [&] {
    CORBA::String_var answer = scripting->executeToString("aaS.get_status");
  });
  printLatency("executeToString(aaS.get_status)", calls, status);

  CORBA::String_var id = unit->getSolverId();
  ASSERT_NE(std::string(id.in()), "");
  Latency solverId = measureCalls(calls, [&] { CORBA::String_var answer = unit->getSolverId(); });
  printLatency("getSolverId()", calls, solverId);
}

TEST_F(SolvariumBench, FileTransfer) {
  ASSERT_NO_FATAL_FAILURE(startService());
  KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var fs = client().fileSystem();
  const int repeats = 3;
  for (size_t mib : {size_t(8), size_t(64)}) {
    const size_t size = mib << 20;
    const std::string bytes = patternBytes(size, 0x9e3779b97f4a7c15ULL + mib);
    const std::string name = "bench-" + std::to_string(mib) + "MiB.bin";
    // Wraps the bytes without copying; the sequence does not own them.
    CoOctetBuffer buffer(static_cast<CORBA::ULong>(size), static_cast<CORBA::ULong>(size),
                         reinterpret_cast<CORBA::Octet*>(const_cast<char*>(bytes.data())), false);
    std::vector<double> up, down;
    for (int r = 0; r < repeats; ++r) {
      Clock::time_point start = Clock::now();
      fs->uploadFile(name.c_str(), buffer);
      up.push_back(static_cast<double>(mib) / secondsSince(start));
      struct stat st;
      ASSERT_EQ(::stat(workFile(name).c_str(), &st), 0) << name;
      ASSERT_EQ(static_cast<size_t>(st.st_size), size) << name;

      start = Clock::now();
      CoOctetBuffer_var got = fs->downloadFile(name.c_str());
      down.push_back(static_cast<double>(mib) / secondsSince(start));
      ASSERT_EQ(got->length(), size) << name;
      ASSERT_EQ(std::memcmp(got->get_buffer(), bytes.data(), size), 0) << name << " differs";
    }
    ASSERT_EQ(readFile(workFile(name)), bytes) << name << " differs on disk";
    std::printf("file transfer upload   %2zu MiB  median %.0f MiB/s  (best %.0f MiB/s, %d runs)\n",
                mib, median(up), *std::max_element(up.begin(), up.end()), repeats);
    std::printf("file transfer download %2zu MiB  median %.0f MiB/s  (best %.0f MiB/s, %d runs)\n",
                mib, median(down), *std::max_element(down.begin(), down.end()), repeats);
    std::fflush(stdout);
    ::unlink(workFile(name).c_str());
  }
}

TEST_F(SolvariumBench, StorageStatusOfManyRuns) {
  const int runs = 200;
  char name[64];
  for (int i = 0; i < runs; ++i) {
    // Directories and results never share a base name, so nothing conflicts.
    std::snprintf(name, sizeof name, "case-%03d.dir", i);
    ASSERT_EQ(::mkdir(workFile(name).c_str(), 0755), 0) << name;
    std::string info = "run False Case " + std::to_string(i) + "\nprogress iteration " +
                       std::to_string(10 * i) + "\n";
    if (i % 2 == 0) info += "end Converged\n";  // half finished, half still running
    writeFile(workFile(std::string(name) + "/gui-err.txt"), info);
    std::snprintf(name, sizeof name, "saved-%03d.res", i);
    writeFile(workFile(name), "run False Saved " + std::to_string(i) + "\nend Stopped by user\n");
  }
  ASSERT_NO_FATAL_FAILURE(startService());
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting = client().scripting();

  Clock::time_point start = Clock::now();
  CORBA::String_var first = scripting->executeToString("aaS.get_storage_status");
  const double firstMs = secondsSince(start) * 1e3;
  const std::string answer = first.in();
  size_t entries = 0;
  for (size_t at = answer.find("\"Name\""); at != std::string::npos;
       at = answer.find("\"Name\"", at + 1))
    ++entries;
  ASSERT_EQ(entries, size_t(2 * runs)) << answer.substr(0, 2000);
  ASSERT_NE(answer.find("\"case-199.dir\""), std::string::npos);
  ASSERT_NE(answer.find("\"saved-199.res\""), std::string::npos);

  const int calls = 10;
  std::vector<double> ms;
  for (int i = 0; i < calls; ++i) {
    start = Clock::now();
    CORBA::String_var again = scripting->executeToString("aaS.get_storage_status");
    ms.push_back(secondsSince(start) * 1e3);
    ASSERT_EQ(answer, again.in());
  }
  double mean = 0;
  for (double v : ms) mean += v;
  mean /= calls;
  std::printf("run status aaS.get_storage_status %d runs (%d .dir + %d .res)  "
              "first=%.1f ms  mean=%.1f ms  max=%.1f ms  (n=%d, answer %zu bytes)\n",
              2 * runs, runs, runs, firstMs, mean, *std::max_element(ms.begin(), ms.end()), calls,
              answer.size());
  std::fflush(stdout);
  EXPECT_LT(std::max(firstMs, *std::max_element(ms.begin(), ms.end())), 1000.0)
      << "a call took a second or more: a conflict pause happened";
}

}  // namespace
}  // namespace solvarium_test

int main(int argc, char** argv) {
  // Only the measurements and failures are printed; --gtest_brief=0 restores
  // the full progress output.
  GTEST_FLAG_SET(brief, true);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
