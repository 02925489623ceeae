#include "service/servant_poa.h"

#include <mutex>

namespace solvarium {
namespace {

std::mutex poaMutex;
PortableServer::POA_var heldPoa;  // guarded by poaMutex

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

std::recursive_mutex& servantCallMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

void clearServantPoa() {
  std::lock_guard<std::mutex> lock(poaMutex);
  heldPoa = PortableServer::POA::_nil();
}

}  // namespace solvarium
