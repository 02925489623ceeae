// Start-up choices made from the command line, the program's file name and
// the environment: the solver kind, the server name, the listen endpoint and
// the ORB's argument vector, and the names of the key files. Pure functions,
// no side effects.
#ifndef SOLVARIUM_SERVICE_START_OPTIONS_H_
#define SOLVARIUM_SERVICE_START_OPTIONS_H_

#include <string>
#include <vector>

namespace solvarium {

// The kind from the first "-solver" option ("talvo" 2, "grend" 3, "brox" 1,
// "3p_aas" 4), else from the program name (argv[0] containing
// "BROXSolvarium" 1, "TalvoSolvarium" 2, "GrendSolvarium" 3, "Solvarium" 4),
// else 0. Only the first "-solver" is looked at.
int solverKindFromArguments(int argc, const char* const* argv);

// "BROXSolvarium", "TalvoSolvarium", "GrendSolvarium", "Solvarium"; "" for
// any other kind.
std::string serverNameForKind(int kind);

// Talvo and Grend end the process when the session-manager variable is unset.
bool requiresSessionManager(int kind);

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
// connect and server call time-outs, one server thread per connection, the
// thread-per-connection limits). The program's own arguments are never
// passed on, and these override any ORB environment variable.
std::vector<std::string> orbArguments(const std::string& serverName,
                                      const ListenEndpoint& endpoint);

// "instant_" put before the last path component of `name` (after the last
// "/" or "\\").
std::string instantTwinName(const std::string& name);

// The UDF unit file: the value after the last "-aas-key-file" among the
// arguments 1..argc-2, else "aaSUdf_Id.txt".
std::string udfKeyFileName(int argc, const char* const* argv);

// The UDF description path: the value after the last "-aas-config-file"
// among the arguments 0..argc-2, else "aas_udf_instant.xml". A value is
// looked at as an option too: "-aas-config-file -aas-config-file x.xml"
// gives "x.xml".
std::string udfConfigFileName(int argc, const char* const* argv);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_START_OPTIONS_H_
