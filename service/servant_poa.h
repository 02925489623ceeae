// The one child POA that every servant lives in, and the lock that keeps its
// requests apart. The POA lets the ORB read each request's arguments in the
// connection's own thread, so a client that stops in the middle of a request
// holds up nobody. The rule: shared state is touched only under SerialCall,
// so client requests and the watcher's calls touch it one at a time. Most
// operations take it first thing; those that run a command take it in
// SolverKind::run(), after the kind's beforeCommand(); getCollaborativeSolverUnit
// holds it only while it reads the announced reference, not across its remote
// calls. Servant<> makes every servant's _default_POA() return servantPoa().
// The POA assigns no ids itself: every servant is activated once, through
// activateServant(), under an id of random bytes, so that no reference can be
// guessed from another or from the time the service started.
#ifndef SOLVARIUM_SERVICE_SERVANT_POA_H_
#define SOLVARIUM_SERVICE_SERVANT_POA_H_

#include <omniORB4/CORBA.h>

#include <cstddef>
#include <mutex>
#include <new>
#include <string>

namespace solvarium {

// Sets the POA (the caller keeps its own reference; a duplicate is held).
void setServantPoa(PortableServer::POA_ptr poa);

// A new reference to the servant POA (the caller releases it, as
// _default_POA() requires). Throws CORBA::BAD_INV_ORDER before setServantPoa.
PortableServer::POA_ptr servantPoa();

// Length of the object ids that activateServant() makes.
constexpr std::size_t kObjectIdBytes = 16;

// Activates `servant` in the servant POA under kObjectIdBytes fresh bytes of
// the kernel's random source; its _this() then answers that reference.
// Throws a StartupError naming the failure (no random bytes, no POA, the
// POA's refusal): the service cannot start without it.
void activateServant(PortableServer::ServantBase* servant);

// True when `key` (an object key) ends with an id that activateServant()
// made: the key of one of the service's own objects.
bool issuedObjectKey(const CORBA::Octet* key, std::size_t size);

// Drops the held reference (after the event loop has ended).
void clearServantPoa();

// Held for the body of one IDL operation: one request at a time. Recursive,
// so an operation may call another servant's operation in the same thread.
std::recursive_mutex& servantCallMutex();

// Counts a failed allocation and writes one stderr line at the 1st, 10th,
// 100th... with the count so far.
void noteAllocationFailure();

// The client requests that run now, each counted from its dispatch (its
// arguments still arriving included) to its reply.
int requestsInProgress();

// Counts one request in for its lifetime.
class RequestInProgress {
 public:
  RequestInProgress();
  ~RequestInProgress();
  RequestInProgress(const RequestInProgress&) = delete;
  RequestInProgress& operator=(const RequestInProgress&) = delete;
};

// Base of every servant class: `Skeleton` is its POA_ class. A failed
// allocation that leaves an operation (the ORB reading its arguments, or an
// operation without a catch of its own) answers CORBA::NO_MEMORY at once
// (omniORB's own handling sends the exception and then carries out the same
// request again, without end). A command answers its kind's error instead
// (SolverKind::run), and a download the EUnknown "Cannot allocate memory to
// read file!".
template <class Skeleton>
class Servant : public Skeleton {
 public:
  PortableServer::POA_ptr _default_POA() override { return servantPoa(); }
  CORBA::Boolean _dispatch(omniCallHandle& handle) override {
    const RequestInProgress counted;
    try {
      return Skeleton::_dispatch(handle);
    } catch (const std::bad_alloc&) {
      noteAllocationFailure();
      throw CORBA::NO_MEMORY(0, CORBA::COMPLETED_MAYBE);
    }
  }
};

class SerialCall {
 public:
  SerialCall() : lock_(servantCallMutex()) {}
  SerialCall(const SerialCall&) = delete;
  SerialCall& operator=(const SerialCall&) = delete;

 private:
  std::lock_guard<std::recursive_mutex> lock_;
};

// A reply's copy of `text`, read under SerialCall.
inline char* serialCopy(const std::string& text) {
  const SerialCall serial;
  return CORBA::string_dup(text.c_str());
}

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SERVANT_POA_H_
