// CSolvariumServer: the application object. Its constructor runs the whole
// service on the main thread: ORB and servant POA, the solver object of the
// kind, key publication and session-manager hand-shake, the ORB's event loop
// until a `shutdown` operation stops it, and the final monitor save. Start-up
// failures end the process with exit code 1.
#ifndef SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_
#define SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_

#include <ace/SOCK_Stream.h>
#include <omniORB4/CORBA.h>

#include <memory>
#include <string>

#include "service/environment.h"
#include "service/solver_object.h"
#include "service/udf_description.h"

namespace solvarium {

class CSolvariumServer {
 public:
  // Runs the service and returns after shutdown; returns at once for a kind
  // outside 1..4. `environment` is the one read at start-up; it must outlive
  // the server.
  CSolvariumServer(int argc, const char* const* argv, int kind, const UdfDescription* udf,
                   const Environment& environment);
  // Deletes the solver object and its servants; the ORB is not destroyed.
  ~CSolvariumServer();
  CSolvariumServer(const CSolvariumServer&) = delete;
  CSolvariumServer& operator=(const CSolvariumServer&) = delete;

 private:
  // ORB, root POA, servant POA. A failure is printed and ends the process
  // with exit code 1.
  void startOrb(int argc, const char* const* argv);
  void createSolverObject(const UdfDescription* udf);
  void publishKeys(int argc, const char* const* argv);
  void printKey();
  void handShakeSessionManager();
  void copyKeyForChecker();
  void writeKeyFiles(int argc, const char* const* argv);
  // Writes one key file with mode 0600; prints a warning line when it fails.
  void writeKeyFile(const std::string& fileName, const std::string& text);
  // The final save; failures are reported in "instant_aas.error".
  void shutdown();

  CORBA::ORB_var orb_;
  PortableServer::POA_var rootPoa_;
  int kind_;
  const Environment& environment_;
  std::string serverName_;
  std::string key_;
  std::unique_ptr<SolverObject> solverObject_;
  ACE_SOCK_Stream sessionManager_;  // left open until the process ends
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_
