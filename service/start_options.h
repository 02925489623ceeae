// Start-up choices made from the command line and the environment: the
// listen endpoint and the ORB's argument vector. Pure functions, no side
// effects.
#ifndef SOLVARIUM_SERVICE_START_OPTIONS_H_
#define SOLVARIUM_SERVICE_START_OPTIONS_H_

#include <string>
#include <vector>

namespace solvarium {

struct ListenEndpoint {
  std::string host;  // empty: all interfaces
  std::string port;  // "0": any free port
};

// Port from `portsEnv` (AAS_PORTS) when set and not empty, else "0"; host
// from `hostEnv` (AAS_HOST) likewise, else empty. Arguments from index 1
// that begin "-p" or "-h" and are longer than two characters override them;
// the last one wins. The value is always joined to the option.
ListenEndpoint listenEndpoint(int argc, const char* const* argv, const char* portsEnv,
                              const char* hostEnv);

// The ORB's argument vector: the server name as program name, then the
// endpoint and the service's fixed ORB options (message size, UTF-8, client
// connect and server call time-outs, one server thread per connection, a
// thread for every connection, the idle connections' time-out). The
// program's own arguments are never passed on, and these override any ORB
// environment variable.
std::vector<std::string> orbArguments(const std::string& serverName,
                                      const ListenEndpoint& endpoint);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_START_OPTIONS_H_
