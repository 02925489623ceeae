// The IIOP client side of the tests: the process-wide client ORB and a
// client of one running service, made from its key files.
#ifndef SOLVARIUM_TESTS_SUPPORT_SERVICE_CLIENT_H_
#define SOLVARIUM_TESTS_SUPPORT_SERVICE_CLIENT_H_

#include <string>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "tests/support/outcome.h"

namespace solvarium_test {

// The process-wide client ORB ("omniORB4", giopMaxMsgSize 2147483647, UTF-8,
// 10 s connect and 60 s call time-outs), made on first use.
CORBA::ORB_ptr testOrb();

// Client of one running service, from its key files in the working directory.
class ServiceClient {
 public:
  ServiceClient(std::string workDir, std::string keyFile = "aaS_BROXSolvarium.txt",
                std::string instantKeyFile = "instant_aaS_BROXSolvarium.txt");
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var solverUnit();
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting();
  KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var fileSystem();
  AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var broxUnit();
  // executeToString on the scripting object; exceptions propagate.
  std::string execute(const std::string& command);
  // Same, but the exception comes back as data.
  Outcome tryExecute(const std::string& command);
  // executeCommandToString on the Brox unit (the solver side's road in).
  std::string broxCommand(const std::string& command);
  Outcome tryBroxCommand(const std::string& command);
  // A broadcast from the solver side: addGenericExceptionMessage("broadcast::" + text).
  void broadcast(const std::string& eventAndPayload);
  std::string keyPath() const { return workDir_ + "/" + keyFile_; }
  std::string instantKeyPath() const { return workDir_ + "/" + instantKeyFile_; }

 private:
  CORBA::Object_ptr objectFromFile(const std::string& path);
  std::string workDir_;
  std::string keyFile_;
  std::string instantKeyFile_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_SERVICE_CLIENT_H_
