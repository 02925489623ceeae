#include "service/connection_cap.h"

#include <fcntl.h>
#include <omniORB4/CORBA.h>
#include <omniORB4/internal/giopStrand.h>
#include <omniORB4/omniInterceptors.h>
#include <omniORB4/tcpConnection.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "common/diagnostics.h"
#include "service/environment.h"

namespace solvarium {

namespace {

// Threads of the service itself (logger, signals, watcher, the ORB's
// listener and scavenger, a macro's), beside one for each connection.
constexpr unsigned long kServiceThreads = 32;
// Descriptors kept for files, pipes and libraries.
constexpr unsigned long kFileRoom = 64;

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

// Repeats of one text (digits left out: thread ids, times, addresses): the
// first kShownRepeats pass as they are; the rest are counted, one line with
// the count per interval for as long as they go on.
constexpr unsigned long kShownRepeats = 3;
constexpr std::chrono::seconds kRepeatInterval{10};
constexpr std::size_t kTrackedTexts = 64;

struct Repeats {
  std::chrono::steady_clock::time_point since;
  unsigned long seen = 0;
  std::string first;  // the first line, for the count's line
};

std::mutex repeatsLock;
std::map<std::string, Repeats> repeats;

// True when `text` is to be written now; writes the counts of intervals
// that have passed.
bool passRepeat(const std::string& text) {
  std::string key;
  for (const char c : text) {
    if (c < '0' || c > '9') key.push_back(c);
  }
  const auto now = std::chrono::steady_clock::now();
  const std::lock_guard<std::mutex> hold(repeatsLock);
  for (auto entry = repeats.begin(); entry != repeats.end();) {
    Repeats& r = entry->second;
    if (now - r.since < kRepeatInterval) {
      ++entry;
    } else if (r.seen <= kShownRepeats) {
      entry = repeats.erase(entry);
    } else {
      std::string first = r.first.substr(0, 200);
      while (!first.empty() && (first.back() == '\n' || first.back() == '\r')) first.pop_back();
      diagnostic("(%lu more lines like \"%s\" in %lld s)\n", r.seen - kShownRepeats,
                 first.c_str(), static_cast<long long>(kRepeatInterval.count()));
      r.since = now;
      r.seen = kShownRepeats;  // later repeats are counted at once
      ++entry;
    }
  }
  auto found = repeats.find(key);
  if (found == repeats.end()) {
    if (repeats.size() >= kTrackedTexts) return true;
    found = repeats.emplace(key, Repeats{now, 0, text}).first;
  }
  return ++found->second.seen <= kShownRepeats;
}

// The connection that this thread serves: the ORB checks a new connection
// in the thread that then serves it alone, until it closes. The socket's
// identity tells it from a later file or socket under the same descriptor.
struct ServedSocket {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};
thread_local ServedSocket servedSocket;

bool stillOpen(const ServedSocket& socket) {
  struct stat identity;
  return socket.fd >= 0 && ::fstat(socket.fd, &identity) == 0 &&
         identity.st_dev == socket.device && identity.st_ino == socket.inode;
}

// The connections admitted, some of them closed since. No interceptor runs
// when a connection closes, so the closed ones are found by their sockets
// once the count reaches the cap, at most once per kRecount (one fstat per
// entry). The process's thread count would be cheaper but lags: a closed
// connection's thread waits in the ORB's pool for 10-25 s before it ends.
// An accepted socket's descriptor number bounds nothing (closed ones leave
// holes that the next accept fills).
constexpr std::chrono::milliseconds kRecount{50};
std::mutex connectionsLock;
std::vector<ServedSocket> connections;
std::chrono::steady_clock::time_point lastRecount;
unsigned long theCap = 0;
unsigned long refused = 0;

CORBA::Boolean checkConnection(omni::omniInterceptors::serverAcceptConnection_T::info_T& info) {
  servedSocket = ServedSocket();
  const omni::tcpConnection* tcp = dynamic_cast<omni::tcpConnection*>(info.strand.connection);
  struct stat identity;
  if (tcp == nullptr || ::fstat(tcp->handle(), &identity) != 0) return 1;
  const ServedSocket socket{tcp->handle(), identity.st_dev, identity.st_ino};

  std::unique_lock<std::mutex> hold(connectionsLock);
  if (connections.size() >= theCap) {
    // A connection that comes sooner than kRecount after the last count waits
    // for the next (in its own thread: the listener goes on accepting).
    const auto wait = lastRecount + kRecount - std::chrono::steady_clock::now();
    if (wait > std::chrono::steady_clock::duration::zero()) {
      hold.unlock();
      std::this_thread::sleep_for(wait);
      hold.lock();
    }
    const auto now = std::chrono::steady_clock::now();
    if (connections.size() >= theCap && now - lastRecount >= kRecount) {
      lastRecount = now;
      connections.erase(std::remove_if(connections.begin(), connections.end(),
                                       [](const ServedSocket& s) { return !stillOpen(s); }),
                        connections.end());
    }
  }
  if (connections.size() < theCap) {
    connections.push_back(socket);
    servedSocket = socket;
    return 1;
  }
  info.reject = 1;
  info.why = "the service has as many connections as it may have";
  const unsigned long open = connections.size();
  const unsigned long count = ++refused;
  hold.unlock();
  char line[200];
  std::snprintf(line, sizeof line,
                "Connection refused: %lu connections are open, the most allowed "
                "(AAS_MAX_CONNECTIONS and the descriptor and task limits); %lu refused\n",
                open, count);
  if (passRepeat(line)) diagnosticText(line);
  return 1;
}

}  // namespace

void orbLogLine(const char* text) {
  const std::string line = text;
  // The declared object key did not fit in memory: the ORB would read the
  // same request again and again. The connection goes instead.
  if (line.find("raised std::bad_alloc") != std::string::npos && stillOpen(servedSocket)) {
    ::shutdown(servedSocket.fd, SHUT_RDWR);
  }
  // With tracing turned on every line is kept, and longer.
  if (omniORB::traceLevel > 1) {
    diagnosticText(line, 64 * 1024);
  } else if (passRepeat(line)) {
    diagnosticText(line);
  }
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

unsigned long connectionCap(unsigned long maxConnections, unsigned long descriptorLimit,
                            const TaskLimits& tasks) {
  // Each connection has a descriptor and a thread of its own.
  unsigned long cap = maxConnections;
  if (descriptorLimit != 0) {
    cap = std::min(cap, descriptorLimit > 2 * kFileRoom ? descriptorLimit - kFileRoom : 1);
  }
  for (const unsigned long limit : {tasks.user, tasks.cgroup, tasks.threads, tasks.pids}) {
    if (limit != 0) cap = std::min(cap, limit / 2 > kServiceThreads ? limit / 2 - kServiceThreads : 1);
  }
  return cap;
}

unsigned long maxConnections(const Environment& environment) {
  const char* text = environment.get("AAS_MAX_CONNECTIONS");
  if (text == nullptr) return kDefaultMaxConnections;
  char* end = nullptr;
  errno = 0;
  const unsigned long value = std::strtoul(text, &end, 10);
  if (*text >= '1' && *text <= '9' && *end == '\0' && errno == 0) return value;
  diagnostic("AAS_MAX_CONNECTIONS '%s' is not a positive number: %lu connections at most\n",
             text, kDefaultMaxConnections);
  return kDefaultMaxConnections;
}

void capConnections(unsigned long cap) {
  {
    const std::lock_guard<std::mutex> hold(connectionsLock);
    theCap = cap;
  }
  omniORB::getInterceptors()->serverAcceptConnection.add(checkConnection);
}

}  // namespace solvarium
