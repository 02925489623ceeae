#include "service/servant_poa.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "common/diagnostics.h"
#include "common/startup_error.h"
#include "platform/random_bytes.h"

namespace solvarium {
namespace {

std::mutex poaMutex;
PortableServer::POA_var heldPoa;  // guarded by poaMutex

std::mutex idsMutex;
std::vector<std::array<CORBA::Octet, kObjectIdBytes>> issuedIds;  // guarded by idsMutex
std::atomic<int> runningRequests{0};

}  // namespace

void setServantPoa(PortableServer::POA_ptr poa) {
  std::lock_guard<std::mutex> lock(poaMutex);
  heldPoa = PortableServer::POA::_duplicate(poa);
}

PortableServer::POA_ptr servantPoa() {
  std::lock_guard<std::mutex> lock(poaMutex);
  if (CORBA::is_nil(heldPoa.in())) throw CORBA::BAD_INV_ORDER();
  return PortableServer::POA::_duplicate(heldPoa.in());
}

void activateServant(PortableServer::ServantBase* servant) {
  PortableServer::ObjectId id(kObjectIdBytes);
  id.length(kObjectIdBytes);
  if (!platform::randomBytes(id.get_buffer(), kObjectIdBytes)) {
    throw StartupError(std::string("Error: cannot read random bytes for an object id: ") +
                       std::strerror(errno));
  }
  try {
    PortableServer::POA_var poa = servantPoa();
    poa->activate_object_with_id(id, servant);
  } catch (const CORBA::Exception& e) {
    throw StartupError(std::string("Error: cannot activate a servant: ") + e._name());
  }
  std::array<CORBA::Octet, kObjectIdBytes> issued;
  std::memcpy(issued.data(), id.get_buffer(), kObjectIdBytes);
  const std::lock_guard<std::mutex> lock(idsMutex);
  issuedIds.push_back(issued);
}

bool issuedObjectKey(const CORBA::Octet* key, std::size_t size) {
  if (size < kObjectIdBytes) return false;
  const std::lock_guard<std::mutex> lock(idsMutex);
  for (const auto& id : issuedIds) {
    if (std::memcmp(key + size - kObjectIdBytes, id.data(), kObjectIdBytes) == 0) return true;
  }
  return false;
}

void noteAllocationFailure() {
  static std::atomic<unsigned long> failures{0};
  const unsigned long count = ++failures;
  unsigned long power = 1;
  while (power < count && power <= count / 10) power *= 10;
  if (power == count) {
    diagnostic("Out of memory: %lu request(s) answered with NO_MEMORY\n", count);
  }
}

int requestsInProgress() { return runningRequests.load(); }

RequestInProgress::RequestInProgress() { ++runningRequests; }

RequestInProgress::~RequestInProgress() { --runningRequests; }

std::recursive_mutex& servantCallMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

void clearServantPoa() {
  std::lock_guard<std::mutex> lock(poaMutex);
  heldPoa = PortableServer::POA::_nil();
}

}  // namespace solvarium
