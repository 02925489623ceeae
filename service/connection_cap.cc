#include "service/connection_cap.h"

#include <omniORB4/CORBA.h>
#include <omniORB4/omniInterceptors.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "common/diagnostics.h"
#include "platform/thread_stacks.h"
#include "service/connection_register.h"
#include "service/environment.h"

namespace solvarium {

namespace {

// Threads of the service itself (logger, signals, watcher, the ORB's
// listener and scavenger, a macro's), beside one for each connection.
constexpr unsigned long kServiceThreads = 32;
// Descriptors kept for files, pipes and libraries.
constexpr unsigned long kFileRoom = 64;
// Address space that the ORB takes for each connection beside its thread's
// stack (its buffers and objects): measured about 5 KiB.
constexpr unsigned long long kOrbBytesPerConnection = 16 * 1024;

// A limit read from a file: its first number, 0 for "max", none or garbage.
unsigned long limitInFile(const std::string& path) {
  std::ifstream in(path);
  std::string word;
  if (!(in >> word) || word.empty() || word[0] < '0' || word[0] > '9') return 0;
  return std::strtoul(word.c_str(), nullptr, 10);
}

// The smallest `pids.max` from the process's cgroup (v2) up to the root.
unsigned long cgroupPidsMax() {
  std::ifstream in("/proc/self/cgroup");
  std::string line;
  unsigned long least = 0;
  while (std::getline(in, line)) {
    if (line.compare(0, 3, "0::") != 0) continue;
    std::string path = line.substr(3);
    for (;;) {
      const unsigned long limit = limitInFile("/sys/fs/cgroup" + path + "/pids.max");
      if (limit != 0 && (least == 0 || limit < least)) least = limit;
      if (path.empty() || path == "/") break;
      path.erase(path.find_last_of('/'));
    }
  }
  return least;
}

// Connections accepted and not yet counted or closed, at most, and the
// longest wait for them before the next accept.
constexpr std::size_t kMostUnsettled = 48;
constexpr std::chrono::milliseconds kLongestSettling{50};

// Connections checked at most; set once, before the first check.
std::atomic<unsigned long> theCap{0};

// The limits that make the cap, as the stderr lines name them.
const char kLimits[] =
    "AAS_MAX_CONNECTIONS and the descriptor, task and address-space limits";

CORBA::Boolean checkConnection(omni::omniInterceptors::serverAcceptConnection_T::info_T& info) {
  const unsigned long cap = theCap.load(std::memory_order_relaxed);
  const Admission admission = admitConnection(info.strand, cap);
  if (admission == Admission::kAdmitted) return 1;
  static std::atomic<unsigned long> displaced{0};
  static std::atomic<unsigned long> refused{0};
  char line[300];
  if (admission == Admission::kDisplacing) {
    std::snprintf(line, sizeof line,
                  "Connection displaced: %lu connections are open, the most allowed (%s): the "
                  "oldest that has carried no request to the service's objects is closed; %lu "
                  "displaced\n",
                  cap, kLimits, ++displaced);
  } else {
    info.reject = 1;
    info.why = "the service has as many connections as it may have";
    std::snprintf(line, sizeof line,
                  "Connection refused: %lu connections are open, the most allowed (%s), each "
                  "has carried a request to the service's objects; %lu refused\n",
                  cap, kLimits, ++refused);
  }
  repeatedDiagnostic(line);
  return 1;
}

}  // namespace

// The ORB's listener accepts each connection through this definition, which
// takes the place of libc's in the whole process: it accepts no more while
// kMostUnsettled connections that are neither counted nor closed hold
// threads (at most kLongestSettling each time), so the threads stay within
// the cap, the unsettled and the service's own, however fast connections
// come. Connections meanwhile wait in the kernel's queue, holding no thread.
extern "C" int accept(int fd, struct sockaddr* address, socklen_t* length) {
  if (theCap.load(std::memory_order_relaxed) == 0) return ::accept4(fd, address, length, 0);
  awaitSettling(kMostUnsettled, kLongestSettling);
  const int connection = ::accept4(fd, address, length, 0);
  if (connection >= 0) noteAccepted(connection);
  return connection;
}

TaskLimits currentTaskLimits() {
  TaskLimits limits;
  rlimit user;
  if (::getrlimit(RLIMIT_NPROC, &user) == 0 && user.rlim_cur != RLIM_INFINITY) {
    limits.user = static_cast<unsigned long>(user.rlim_cur);
  }
  limits.cgroup = cgroupPidsMax();
  limits.threads = limitInFile("/proc/sys/kernel/threads-max");
  limits.pids = limitInFile("/proc/sys/kernel/pid_max");
  return limits;
}

unsigned long addressSpaceBound() {
  rlimit limit;
  if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return 0;
  std::ifstream statm("/proc/self/statm");
  unsigned long long pages = 0;
  statm >> pages;
  const unsigned long long taken =
      pages * static_cast<unsigned long long>(::sysconf(_SC_PAGESIZE)) +
      platform::arenaReservationBytes();
  const unsigned long long room = limit.rlim_cur > taken ? (limit.rlim_cur - taken) / 2 : 0;
  const unsigned long long each = platform::threadReservationBytes() + kOrbBytesPerConnection;
  return static_cast<unsigned long>(std::max(1ULL, room / each));
}

unsigned long connectionCap(unsigned long maxConnections, unsigned long descriptorLimit,
                            const TaskLimits& tasks, unsigned long addressBound) {
  // Each connection has a descriptor and a thread of its own.
  unsigned long cap = maxConnections;
  if (descriptorLimit != 0) {
    cap = std::min(cap, descriptorLimit > 2 * kFileRoom ? descriptorLimit - kFileRoom : 1);
  }
  for (const unsigned long limit : {tasks.user, tasks.cgroup, tasks.threads, tasks.pids}) {
    if (limit != 0) cap = std::min(cap, limit / 2 > kServiceThreads ? limit / 2 - kServiceThreads : 1);
  }
  if (addressBound != 0) cap = std::min(cap, addressBound);
  return cap;
}

unsigned long maxConnections(const Environment& environment) {
  const char* text = environment.get("AAS_MAX_CONNECTIONS");
  if (text == nullptr) return kDefaultMaxConnections;
  const std::size_t digits = std::strspn(text, "0123456789");
  // Past the largest number: strtoul answers the largest.
  const unsigned long value = std::strtoul(text, nullptr, 10);
  if (digits > 0 && text[digits] == '\0' && value > 0) return value;
  diagnostic("AAS_MAX_CONNECTIONS '%s' is not a positive number (decimal digits only): %lu "
             "connections at most\n",
             text, kDefaultMaxConnections);
  return kDefaultMaxConnections;
}

void capConnections(unsigned long cap) {
  theCap.store(cap, std::memory_order_relaxed);
  omniORB::getInterceptors()->serverAcceptConnection.add(checkConnection);
  markKeyHolders();
}

}  // namespace solvarium
