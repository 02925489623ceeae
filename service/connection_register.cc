#include "service/connection_register.h"

#include <omniORB4/CORBA.h>
#include <omniORB4/internal/giopStrand.h>
#include <omniORB4/internal/giopStream.h>
// GIOP_S.h after the two above, as omniORB's own sources have it.
#include <omniORB4/internal/GIOP_S.h>
#include <omniORB4/omniInterceptors.h>
#include <omniORB4/tcpConnection.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "service/servant_poa.h"

namespace solvarium {

namespace {

struct Socket {
  int fd = -1;
  dev_t device = 0;
  ino_t inode = 0;
};

bool operator==(const Socket& a, const Socket& b) {
  return a.fd == b.fd && a.device == b.device && a.inode == b.inode;
}

// The socket under `fd` now; fd -1 when there is none.
Socket socketOf(int fd) {
  struct stat identity;
  if (::fstat(fd, &identity) != 0) return Socket();
  return Socket{fd, identity.st_dev, identity.st_ino};
}

// A later socket under the same descriptor is another.
bool stillOpen(const Socket& socket) { return socket.fd >= 0 && socketOf(socket.fd) == socket; }

// Its thread then reads the end and closes the connection. False when it
// was closed already.
bool shutDownIfOpen(const Socket& socket) {
  return stillOpen(socket) && ::shutdown(socket.fd, SHUT_RDWR) == 0;
}

// Admitted connections by the order they came (a serial number), apart by
// the mark. Closed ones are recounted when every entry has the mark, at most
// once per kRecount (one fstat per entry).
constexpr std::chrono::milliseconds kRecount{50};
struct Register {
  std::mutex lock;
  std::uint64_t lastSerial = 0;  // guarded by lock, as is every field below
  std::map<std::uint64_t, Socket> unmarked;
  std::map<std::uint64_t, Socket> marked;
  std::vector<Socket> unsettled;  // accepted, not counted, not yet closed
  std::chrono::steady_clock::time_point lastRecount;

  std::size_t size() const { return unmarked.size() + marked.size(); }
};

// Never destroyed: a connection's thread may end after main() has returned.
Register& theRegister() {
  static Register* const instance = new Register;
  return *instance;
}

// The connection that this thread serves; its entry goes when the thread
// checks another connection or ends.
struct ServedConnection {
  std::uint64_t serial = 0;  // 0: none registered
  Socket socket;
  bool marked = false;

  void forget() {
    if (serial == 0) return;
    Register& connections = theRegister();
    const std::lock_guard<std::mutex> hold(connections.lock);
    connections.unmarked.erase(serial);
    connections.marked.erase(serial);
    *this = ServedConnection();
  }
  ~ServedConnection() { forget(); }
};
thread_local ServedConnection served;

CORBA::Boolean markKeyHolder(omni::omniInterceptors::serverReceiveRequest_T::info_T& info) {
  if (served.serial == 0 || served.marked) return 1;
  const omni::GIOP_S& request = info.giop_s;
  if (request.keysize() <= 0 ||
      !issuedObjectKey(request.key(), static_cast<std::size_t>(request.keysize()))) {
    return 1;
  }
  served.marked = true;
  Register& connections = theRegister();
  const std::lock_guard<std::mutex> hold(connections.lock);
  const auto entry = connections.unmarked.find(served.serial);
  if (entry != connections.unmarked.end()) {  // else displaced meanwhile
    connections.marked.insert(*entry);
    connections.unmarked.erase(entry);
  }
  return 1;
}

}  // namespace

void noteAccepted(int fd) {
  const Socket accepted = socketOf(fd);
  Register& connections = theRegister();
  const std::lock_guard<std::mutex> hold(connections.lock);
  if (accepted.fd >= 0) connections.unsettled.push_back(accepted);
}

void awaitSettling(std::size_t most, std::chrono::milliseconds longest) {
  const auto deadline = std::chrono::steady_clock::now() + longest;
  Register& connections = theRegister();
  for (;;) {
    {
      const std::lock_guard<std::mutex> hold(connections.lock);
      std::vector<Socket>& unsettled = connections.unsettled;
      unsettled.erase(std::remove_if(unsettled.begin(), unsettled.end(),
                                     [](const Socket& s) { return !stillOpen(s); }),
                      unsettled.end());
      if (unsettled.size() < most) return;
    }
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

Admission admitConnection(omni::giopStrand& strand, unsigned long cap) {
  served.forget();  // the thread's last connection has ended
  const omni::tcpConnection* tcp = dynamic_cast<omni::tcpConnection*>(strand.connection);
  const Socket newcomer = socketOf(tcp != nullptr ? tcp->handle() : -1);
  if (newcomer.fd < 0) return Admission::kAdmitted;
  Register& connections = theRegister();
  const std::lock_guard<std::mutex> hold(connections.lock);
  Admission admission = Admission::kAdmitted;
  if (connections.size() >= cap && !connections.unmarked.empty()) {
    const auto oldest = connections.unmarked.begin();  // one already closed just goes
    if (shutDownIfOpen(oldest->second)) {
      connections.unsettled.push_back(oldest->second);
      admission = Admission::kDisplacing;
    }
    connections.unmarked.erase(oldest);
  }
  const auto now = std::chrono::steady_clock::now();
  if (connections.size() >= cap && now - connections.lastRecount >= kRecount) {
    connections.lastRecount = now;
    for (auto entry = connections.marked.begin(); entry != connections.marked.end();) {
      entry = stillOpen(entry->second) ? std::next(entry) : connections.marked.erase(entry);
    }
  }
  if (connections.size() >= cap) return Admission::kRefused;
  std::vector<Socket>& unsettled = connections.unsettled;
  unsettled.erase(std::remove(unsettled.begin(), unsettled.end(), newcomer), unsettled.end());
  served.serial = ++connections.lastSerial;
  served.socket = newcomer;
  connections.unmarked.emplace(served.serial, newcomer);
  return admission;
}

void markKeyHolders() {
  omniORB::getInterceptors()->serverReceiveRequest.add(markKeyHolder);
}

void closeServedConnection() { shutDownIfOpen(served.socket); }

}  // namespace solvarium
