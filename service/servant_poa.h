// The one child POA that every servant lives in. It is created by the server
// object with MAIN_THREAD_MODEL, so client requests and the watcher's calls
// are carried out one at a time, in the thread that runs the ORB. Each servant class overrides _default_POA()
// to return servantPoa().
#ifndef SOLVARIUM_SERVICE_SERVANT_POA_H_
#define SOLVARIUM_SERVICE_SERVANT_POA_H_

#include <omniORB4/CORBA.h>

namespace solvarium {

// Sets the POA (the caller keeps its own reference; a duplicate is held).
void setServantPoa(PortableServer::POA_ptr poa);

// A new reference to the servant POA (the caller releases it, as
// _default_POA() requires). Throws CORBA::BAD_INV_ORDER before setServantPoa.
PortableServer::POA_ptr servantPoa();

// Drops the held reference (after the event loop has ended).
void clearServantPoa();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SERVANT_POA_H_
