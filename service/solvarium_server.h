// CSolvariumServer: the application object, on the main thread. Made, it has
// started the ORB and the servant POA for the chosen kind; run() makes the
// kind's root object, publishes the key (printed, handed to the session
// manager and the watcher, written to the kind's key files), serves until
// shutdown is requested (a `shutdown` operation, the watcher or a stop
// signal), shuts the ORB down itself and has the kind make its final save,
// under SerialCall's lock. Start-up failures end the process with exit code
// 1; an end that has not got to the final save 30 s after shutdown began
// ends it with exit code 3 (see claimTheEnd()); a final save that fails
// makes the exit code 4 (see runService()).
#ifndef SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_
#define SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_

#include <ace/SOCK_Stream.h>
#include <omniORB4/CORBA.h>

#include <functional>
#include <memory>
#include <string>

#include "service/solver_kind.h"

namespace solvarium {

class CSolvariumServer {
 public:
  // Starts the ORB for `record` with `context`; both must outlive the server.
  CSolvariumServer(const SolverKindRecord& record, const StartContext& context);
  // Deletes the kind's root object and its servants, then destroys the ORB:
  // no other thread may use it any more (the watcher is stopped first).
  ~CSolvariumServer();
  CSolvariumServer(const CSolvariumServer&) = delete;
  CSolvariumServer& operator=(const CSolvariumServer&) = delete;

  // Serves until shutdown; `settings` is what the record read before.
  // `serving` is called once the key is published, just before the service
  // waits for its shutdown request.
  void run(const KindSettings* settings, const std::function<void()>& serving = nullptr);
  // After run(): the final save failed (the previous "monitor.json" stays).
  bool finalSaveFailed() const { return finalSaveFailed_; }

 private:
  // ORB, root POA, servant POA. A failure is printed and ends the process
  // with exit code 1.
  void startOrb();
  // The root object, its servants activated, and the key.
  void createKind(const KindSettings* settings);
  void publishKeys();
  void printIor(const std::string& label, const std::string& ior);
  void handShakeSessionManager();
  // Writes one key file with mode 0600, which clients may then not replace.
  // When it fails, a warning line on stderr, or std::runtime_error when a
  // file of that name exists (clients would take it for this service's).
  void writeKeyFile(const std::string& fileName, const std::string& text);

  const SolverKindRecord& record_;
  const StartContext& context_;
  CORBA::ORB_var orb_;
  PortableServer::POA_var rootPoa_;
  std::string key_;
  std::unique_ptr<SolverKind> kind_;
  ACE_SOCK_Stream sessionManager_;  // left open until the process ends
  bool finalSaveFailed_ = false;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_SOLVARIUM_SERVER_H_
