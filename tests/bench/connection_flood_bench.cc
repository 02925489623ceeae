// Hostile connection patterns against a running Solvarium (Brox, 127.0.0.1),
// measured for the README; not a test, nothing is timed against a goal:
//   - an idle-connection flood: the service is started with a soft descriptor
//     limit of 1,024 and gets 3,000 idle TCP connections and 150 that send
//     only "GIOP"; 20 s later its CPU over 5 s, its threads and memory, and
//     how long a new client waits for the answer of getSolverId on a fresh
//     connection;
//   - a client that sends 60 downloads of an 8 MiB file on one connection and
//     reads no reply: the service's memory;
//   - 300 connections that each send 3 MiB of a 16 MiB upload and stop: the
//     service's memory, whether a fresh client is answered, and how long
//     until the memory is given back.
// SOLVARIUM_BENCH_SERVICE names another Solvarium binary to measure (an
// earlier build, say).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/harness.h"
#include "tests/support/raw_giop.h"

namespace solvarium_test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// CPU time, threads and memory of a process, from /proc.
struct ProcessStats {
  double cpuSeconds = 0;
  long threads = 0;
  double residentMb = 0;
  double peakMb = 0;
};

ProcessStats statsOf(pid_t pid) {
  ProcessStats stats;
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  const std::string::size_type close = stat.rfind(')');
  if (close != std::string::npos) {
    // After the name: state is field 3, utime and stime fields 14 and 15.
    std::vector<std::string> fields;
    std::string field;
    for (char c : stat.substr(close + 2)) {
      if (c == ' ') {
        fields.push_back(field);
        field.clear();
      } else {
        field += c;
      }
    }
    if (fields.size() > 12) {
      stats.cpuSeconds = (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) /
                         static_cast<double>(::sysconf(_SC_CLK_TCK));
    }
  }
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    long value = 0;
    if (std::sscanf(line.c_str(), "Threads: %ld", &value) == 1) stats.threads = value;
    if (std::sscanf(line.c_str(), "VmRSS: %ld kB", &value) == 1) stats.residentMb = value / 1024.0;
    if (std::sscanf(line.c_str(), "VmHWM: %ld kB", &value) == 1) stats.peakMb = value / 1024.0;
  }
  return stats;
}

std::string answerText(double seconds) {
  if (seconds < 0) return "no answer within 10 s";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", seconds * 1e3);
  return text;
}

class FloodBench : public ServiceTest {
 protected:
  // Starts "-solver brox" with the soft descriptor limit `softLimit` and
  // waits for its key files; the address of its solver unit.
  // `prefix` (prlimit and its options, say) goes before the program,
  // `extra` into its environment.
  IiopAddress startService(rlim_t softLimit, const std::vector<std::string>& prefix = {},
                           const Environment& extra = {}) {
    ServiceProcess::Options options = broxOptions();
    if (const char* other = std::getenv("SOLVARIUM_BENCH_SERVICE")) {
      options.program = other;
      options.argv[0] = other;
    }
    for (const auto& [name, value] : extra) options.env[name] = value;
    if (!prefix.empty()) {
      options.argv.insert(options.argv.begin(), prefix.begin(), prefix.end());
      options.program = prefix[0];
    }
    rlimit saved;
    ::getrlimit(RLIMIT_NOFILE, &saved);
    rlimit limit = saved;
    limit.rlim_cur = std::min(softLimit, saved.rlim_max);
    ::setrlimit(RLIMIT_NOFILE, &limit);
    ServiceProcess& svc = start(options);
    ::setrlimit(RLIMIT_NOFILE, &saved);
    EXPECT_TRUE(svc.waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
        << svc.stdoutText();
    return iorAddress(readFile(workFile("instant_aaS_BROXSolvarium.txt")));
  }

  // Seconds until getSolverId on a fresh connection is answered; -1 when no
  // answer came within 10 s.
  static double freshAnswerSeconds(const IiopAddress& unit) {
    const Clock::time_point start = Clock::now();
    const int fd = connectTo(unit.host, unit.port);
    if (fd < 0) return -1;
    const bool sent = sendThrottled(fd, giopRequest(1, unit.objectKey, "getSolverId", "", false), 0);
    const int status = sent ? readReplyStatus(fd, 10000) : -1;
    ::close(fd);
    return status == 0 ? secondsSince(start) : -1;
  }
};

TEST_F(FloodBench, IdleConnectionFlood) {
  const IiopAddress unit = startService(1024);
  const pid_t pid = service().pid();
  std::printf("idle service: %ld threads, %.0f MB, a fresh client: %s\n", statsOf(pid).threads,
              statsOf(pid).residentMb, answerText(freshAnswerSeconds(unit)).c_str());

  const int connections = 3000;
  const int unfinished = 150;
  std::vector<int> idle;
  for (int i = 0; i < connections + unfinished; ++i) {
    const int fd = connectTo(unit.host, unit.port);
    if (fd >= 0) idle.push_back(fd);
    if (fd >= 0 && i >= connections) sendThrottled(fd, "GIOP", 0);
  }
  // Starting 3,000 threads takes a few seconds of CPU on a loaded machine.
  std::this_thread::sleep_for(seconds(20));
  const ProcessStats before = statsOf(pid);
  std::this_thread::sleep_for(seconds(5));
  const ProcessStats after = statsOf(pid);
  std::vector<double> answers;
  for (int i = 0; i < 5; ++i) answers.push_back(freshAnswerSeconds(unit));
  // Failures (-1) sort first: the median is an answer only when most came.
  std::sort(answers.begin(), answers.end());
  std::printf("%zu connections (%d of them sent only \"GIOP\"), soft limit 1,024 at start: "
              "service CPU %.0f %% over 5 s, %ld threads, %.0f MB; a fresh client (median of 5): %s\n",
              idle.size(), unfinished, (after.cpuSeconds - before.cpuSeconds) / 5.0 * 100.0, after.threads,
              after.residentMb, answerText(answers[2]).c_str());
  for (int fd : idle) ::close(fd);
  EXPECT_TRUE(service().running());
}

TEST_F(FloodBench, PipelinedDownloadsNotRead) {
  startService(1024);
  const pid_t pid = service().pid();
  writeFile(workFile("eight.bin"), std::string(8 << 20, 'x'));
  ServiceClient files(workDir());
  CORBA::String_var ior = testOrb()->object_to_string(files.fileSystem().in());
  const IiopAddress fileSystem = iorAddress(ior.in());
  const ProcessStats idle = statsOf(pid);

  CdrWriter name;
  name.string("eight.bin");
  std::string requests;
  for (uint32_t id = 1; id <= 60; ++id) {
    requests += giopRequest(id, fileSystem.objectKey, "downloadFile", name.bytes(), false);
  }
  const int fd = connectTo(fileSystem.host, fileSystem.port);
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(sendThrottled(fd, requests, 0));
  std::this_thread::sleep_for(seconds(5));
  const ProcessStats loaded = statsOf(pid);
  std::printf("60 pipelined 8 MiB downloads, no reply read: service %.0f MB resident "
              "(peak %.0f MB; idle %.0f MB), %ld threads\n",
              loaded.residentMb, loaded.peakMb, idle.residentMb, loaded.threads);
  ::close(fd);
  EXPECT_TRUE(service().running());
}

TEST_F(FloodBench, UnfinishedUploadsPinMemory) {
  startService(1 << 16);
  const pid_t pid = service().pid();
  ServiceClient files(workDir());
  CORBA::String_var ior = testOrb()->object_to_string(files.fileSystem().in());
  const IiopAddress fileSystem = iorAddress(ior.in());
  const ProcessStats idle = statsOf(pid);

  CdrWriter arguments;
  arguments.string("upload.bin");
  arguments.octets(std::string(16 << 20, 'u'));
  const std::string whole =
      giopRequest(1, fileSystem.objectKey, "uploadFile", arguments.bytes(), false);
  const std::string part = whole.substr(0, whole.size() - (13 << 20));  // 3 MiB of the file
  const int connections = 300;
  std::vector<int> stalled(connections, -1);
  std::vector<std::thread> senders;
  for (int w = 0; w < 8; ++w) {
    senders.emplace_back([&, w] {
      for (int i = w; i < connections; i += 8) {
        stalled[i] = connectTo(fileSystem.host, fileSystem.port);
        if (stalled[i] >= 0) sendThrottled(stalled[i], part, 0);
      }
    });
  }
  for (std::thread& sender : senders) sender.join();
  const Clock::time_point sent = Clock::now();
  std::this_thread::sleep_for(seconds(3));
  const ProcessStats loaded = statsOf(pid);
  const double fresh = freshAnswerSeconds(iorAddress(readFile(workFile("instant_aaS_BROXSolvarium.txt"))));
  // Given back: resident memory within 64 MB of idle again (at most 200 s).
  double released = -1;
  while (secondsSince(sent) < 200) {
    if (statsOf(pid).residentMb < idle.residentMb + 64) {
      released = secondsSince(sent);
      break;
    }
    std::this_thread::sleep_for(seconds(1));
  }
  std::printf("%d connections with 3 MiB of a 16 MiB upload each: service %.0f MB resident "
              "(idle %.0f MB), %ld threads; a fresh client: %s; memory given back after %s\n",
              connections, loaded.residentMb, idle.residentMb, loaded.threads,
              answerText(fresh).c_str(),
              released < 0 ? "more than 200 s" : (std::to_string(static_cast<int>(released)) + " s").c_str());
  for (int fd : stalled) {
    if (fd >= 0) ::close(fd);
  }
  EXPECT_TRUE(service().running());
}

TEST_F(FloodBench, IdleConnectionsUnderAnAddressSpaceLimit) {
  const IiopAddress unit = startService(1 << 16, {"/usr/bin/prlimit", "--as=1073741824", "--"});
  const pid_t pid = service().pid();
  const auto vmKb = [&] {
    const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
    return std::stol(status.substr(status.find("VmSize:") + 7));
  };
  const long idleKb = vmKb();
  std::vector<int> idle;
  for (int i = 0; i < 2000; ++i) idle.push_back(connectTo(unit.host, unit.port));
  std::this_thread::sleep_for(seconds(3));
  const long held = std::count_if(idle.begin(), idle.end(), [](int fd) { return !closedWithin(fd, 0); });
  int answered = 0;
  for (int i = 0; i < 5; ++i) answered += freshAnswerSeconds(unit) >= 0;
  std::printf("RLIMIT_AS 1 GB at start: %ld of 2,000 idle connections held, %.0f kB of address "
              "space each (VmSize %ld -> %ld MB); a new key holder answered %d of 5 times\n",
              held, double(vmKb() - idleKb) / held, idleKb / 1024, vmKb() / 1024, answered);
  for (int fd : idle) ::close(fd);
}

TEST_F(FloodBench, StormAtTheCap) {
  const IiopAddress unit = startService(1 << 16, {}, {{"AAS_MAX_CONNECTIONS", "200"}});
  const pid_t pid = service().pid();
  std::vector<int> holders(150);
  for (int& fd : holders) {
    fd = connectTo(unit.host, unit.port);
    sendThrottled(fd, giopRequest(1, unit.objectKey, "getSolverId", "", false), 0);
    readReplyStatus(fd, 10000);
  }
  int samples = 0, answered = 0;
  long peak = 0;
  const long made = connectionStorm(unit.host, unit.port, 10, [&] {  // a call every 50 ms
    peak = std::max(peak, statsOf(pid).threads);
    if (++samples % 10 == 0) answered += freshAnswerSeconds(unit) >= 0;
  });
  std::printf("cap 200, 150 key holders held: a storm of %ld connections in 10 s (FIN, RST, "
              "half-closed, \"GIOP\" and RST): %ld threads at most; new key holders answered %d of "
              "%d; %ld of the 150 kept\n", made, peak, answered, samples / 10,
              std::count_if(holders.begin(), holders.end(), [](int fd) { return !closedWithin(fd, 0); }));
  for (int fd : holders) ::close(fd);
}

TEST_F(FloodBench, StrangerHoldsTheCap) {
  const IiopAddress unit = startService(1 << 16, {}, {{"AAS_MAX_CONNECTIONS", "50"}});
  std::vector<int> held(50, -1);
  int answered = 0;
  for (int call = 0; call < 90; ++call) {
    for (int& fd : held) {  // the stranger reopens what closes, and asks for a made-up key
      if (fd >= 0 && !closedWithin(fd, 0)) continue;
      ::close(fd);
      fd = connectTo(unit.host, unit.port);
      sendThrottled(fd, giopLocateRequest(1, "made-up key"), 0);
    }
    answered += freshAnswerSeconds(unit) >= 0;
    std::this_thread::sleep_for(milliseconds(50));
  }
  std::printf("cap 50, a stranger holding 50 connections (made-up keys, closed ones reopened): "
              "key holders answered %d of 90; %ld threads\n", answered, statsOf(service().pid()).threads);
  for (int fd : held) ::close(fd);
}

TEST_F(FloodBench, StrangerUnderAThreadLimit) {
  for (const std::string& dir : {workDir() + "/..", workDir(), logDir()}) ::chmod(dir.c_str(), 0777);
  const IiopAddress unit = startService(
      1 << 16, {"/usr/bin/prlimit", "--nproc=200", "setpriv", "--reuid=45678", "--regid=45678",
                "--clear-groups"}, {{"KORLEN_SESSION_MANAGER_SOCKET", ""}});
  std::vector<int> stranger(300);
  for (int& fd : stranger) fd = connectTo(unit.host, unit.port);
  int answered = 0;
  for (int i = 0; i < 5; ++i) answered += freshAnswerSeconds(unit) >= 0;
  std::printf("RLIMIT_NPROC 200 for a user of its own (cap 68), a stranger's 300 connections: key "
              "holders answered %d of 5; %ld threads\n", answered, statsOf(service().pid()).threads);
  for (int fd : stranger) ::close(fd);
}

}  // namespace
}  // namespace solvarium_test
