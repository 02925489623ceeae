#include "service/start_options.h"

#include <cstring>

#include "common/message_limits.h"

namespace solvarium {

ListenEndpoint listenEndpoint(int argc, const char* const* argv, const char* portsEnv,
                              const char* hostEnv) {
  ListenEndpoint endpoint{"", "0"};
  if (portsEnv != nullptr && *portsEnv != '\0') endpoint.port = portsEnv;
  if (hostEnv != nullptr && *hostEnv != '\0') endpoint.host = hostEnv;
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (argv[i] == nullptr || std::strlen(argv[i]) <= 2) continue;
    if (std::strncmp(argv[i], "-p", 2) == 0) endpoint.port = argv[i] + 2;
    if (std::strncmp(argv[i], "-h", 2) == 0) endpoint.host = argv[i] + 2;
  }
  return endpoint;
}

std::vector<std::string> orbArguments(const std::string& serverName,
                                      const ListenEndpoint& endpoint) {
  return {serverName,
          "-ORBendPoint",
          "giop:tcp:" + endpoint.host + ":" + endpoint.port,
          "-ORBgiopMaxMsgSize",
          std::to_string(kMaxGiopMessageBytes),
          "-ORBnativeCharCodeSet",
          "UTF-8",
          // A connect counts against its call's deadline (below, or the
          // collaborative call's own). With a connect time-out of its own,
          // omniORB moves a call's deadline to that time-out's end: a call
          // that had waited for one of a partner's connections (5 at most)
          // then ran up to 10 s past its deadline. 0 here also overrides an
          // ORBclientConnectTimeOutPeriod from the environment.
          "-ORBclientConnectTimeOutPeriod",
          "0",
          // Every outgoing call (the collaborative partner's _is_a) ends
          // after this long; local calls (the watcher's) are not affected.
          "-ORBclientCallTimeOutPeriod",
          "10000",
          // omniORB honours a thread's own deadline only with this on: the
          // collaborative call's resolve and _is_a share one (co_solver_unit.cc).
          "-ORBsupportPerThreadTimeOut",
          "1",
          // A client that stops in the middle of a request loses its
          // connection after this long (the whole request must arrive in
          // it: 256 MiB at 10 MB/s takes 27 s). Other clients are not held
          // up meanwhile: arguments are read outside the servant POA's
          // serialisation (see solvarium_server.cc).
          "-ORBserverCallTimeOutPeriod",
          "120000",
          // One server thread per connection. Do not remove: omniORB 4.2.5
          // (giopImpl12.cc, inputQueueMessage) matches a stray GIOP Fragment or
          // CancelRequest to a request already being served and lets a second
          // thread of the same connection take it while the first frees it; a
          // Request plus a Fragment with its id, sent by anyone who reaches the
          // port, then crashes the process (use after free). Requests are
          // carried out one at a time anyway.
          "-ORBmaxServerThreadPerConnection",
          "1",
          // One thread for every connection, always: a connection that stops
          // in the middle of a message holds only its own thread. Above the
          // upper limit the ORB would serve connections from its pool, where
          // a partial message holds a pool thread until it is whole; no
          // process can have 2^30 descriptors (fs.nr_open), so it never gets
          // there. Connections are capped instead (connection_cap.h).
          "-ORBthreadPerConnectionUpperLimit",
          "1073741824",
          "-ORBthreadPerConnectionLowerLimit",
          "1073741823",
          // A connection that sends nothing, or stops before a request's
          // header (up to its operation name) is whole, is closed after 120
          // to 125 s; clients reopen a closed connection on their next call,
          // but one that calls at the moment it closes gets COMM_FAILURE, so
          // not sooner: clients that call once a minute are common. A request
          // whose header has arrived has the call time-out above, however
          // slowly its arguments come.
          "-ORBinConScanPeriod",
          "120",
          "-ORBscanGranularity",
          "5"};
}

}  // namespace solvarium
