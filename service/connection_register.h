// The register of the connections admitted under the cap, in the order they
// came, and the key holders' mark: a connection that has carried a request
// to one of the service's own objects (its object key ends with an id that
// activateServant() made) is a key holder's and is never displaced. At the
// cap a newcomer displaces the oldest connection without the mark, so a
// stranger can hold nothing that a key holder needs; only when every
// connection counted is a key holder's is a newcomer refused.
//
// What it relies on in omniORB:
// - each connection is served by one thread of its own, from its accept check
//   until it closes (a thread per connection, at most one per connection: see
//   orbArguments()), so the interceptors that run in that thread know its
//   connection: serverAcceptConnection before any byte is read, and
//   serverReceiveRequest once a Request's header, object key included, has
//   been read (GIOP_S::handleRequest; a LocateRequest never passes there);
// - its socket, from omni::tcpConnection::handle() (an internal header), is
//   told from a later socket under the same descriptor by device and inode;
// - no interceptor runs at close: a connection's entry goes when its thread
//   checks another connection or ends, when it is displaced, or when a count
//   finds its socket closed.
// Any thread may call these.
#ifndef SOLVARIUM_SERVICE_CONNECTION_REGISTER_H_
#define SOLVARIUM_SERVICE_CONNECTION_REGISTER_H_

#include <chrono>
#include <cstddef>

namespace omni {
class giopStrand;
}

namespace solvarium {

enum class Admission {
  kAdmitted,
  kDisplacing,  // admitted in place of the oldest connection without the mark
  kRefused,     // all `cap` connections counted are key holders' and open
};

// Admits the connection of `strand`, which this thread serves from now on:
// below `cap` connections counted, or in place of the oldest one without the
// mark (its socket is shut down; its thread then closes it). A refused one is
// not counted: the caller rejects it.
Admission admitConnection(omni::giopStrand& strand, unsigned long cap);

// Notes a socket that the ORB's listener has just accepted: it is unsettled
// until it is counted or closed.
void noteAccepted(int fd);

// Waits, at most `longest`, until fewer than `most` accepted connections are
// unsettled: each holds a thread of the ORB while it is. Displaced ones are
// unsettled until closed.
void awaitSettling(std::size_t most, std::chrono::milliseconds longest);

// From now on a request to one of the service's objects marks its connection.
void markKeyHolders();

// Shuts down both directions of the connection this thread serves, when its
// socket is still the one admitted.
void closeServedConnection();

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CONNECTION_REGISTER_H_
