#include "tests/support/service_client.h"

#include <stdexcept>
#include <utility>

#include "tests/support/files.h"

namespace solvarium_test {

CORBA::ORB_ptr testOrb() {
  static CORBA::ORB_var orb = [] {
    const char* args[] = {"solvarium-tests",
                          "-ORBgiopMaxMsgSize", "2147483647",
                          "-ORBnativeCharCodeSet", "UTF-8",
                          "-ORBclientConnectTimeOutPeriod", "10000",
                          "-ORBclientCallTimeOutPeriod", "60000",
                          nullptr};
    int argc = 9;
    CORBA::ORB_ptr made = CORBA::ORB_init(argc, const_cast<char**>(args), "omniORB4");
    // A generated _nil() reads its pointer before taking the lock that guards
    // making it: each is made here once, before any test thread can call it.
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_nil();
    KORLEN_AAS_v1_0_0::Solvers::ICoScripting::_nil();
    KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem::_nil();
    AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit::_nil();
    AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit::_nil();
    AAS_CORBA::Talvo::ITalvoExceptionHolder::_nil();
    return made;
  }();
  return orb.in();
}

ServiceClient::ServiceClient(std::string workDir, std::string keyFile, std::string instantKeyFile)
    : workDir_(std::move(workDir)), keyFile_(std::move(keyFile)),
      instantKeyFile_(std::move(instantKeyFile)) {}

CORBA::Object_ptr ServiceClient::objectFromFile(const std::string& path) {
  std::string ior = readFile(path);
  while (!ior.empty() && (ior.back() == '\n' || ior.back() == '\r')) ior.pop_back();
  if (ior.empty()) throw std::runtime_error("no key in " + path);
  return testOrb()->string_to_object(ior.c_str());
}

KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var ServiceClient::solverUnit() {
  CORBA::Object_var obj = objectFromFile(instantKeyPath());
  return KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_narrow(obj);
}

KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var ServiceClient::scripting() {
  return solverUnit()->getCommandScripting();
}

KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var ServiceClient::fileSystem() {
  return solverUnit()->getFileSystem();
}

AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var ServiceClient::broxUnit() {
  CORBA::Object_var obj = objectFromFile(keyPath());
  return AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit::_narrow(obj);
}

std::string ServiceClient::execute(const std::string& command) {
  CORBA::String_var answer = scripting()->executeToString(command.c_str());
  return std::string(answer.in());
}

Outcome ServiceClient::tryExecute(const std::string& command) {
  return capture([&] { return execute(command); });
}

std::string ServiceClient::broxCommand(const std::string& command) {
  CORBA::String_var answer = broxUnit()->executeCommandToString(command.c_str());
  return std::string(answer.in());
}

Outcome ServiceClient::tryBroxCommand(const std::string& command) {
  return capture([&] { return broxCommand(command); });
}

void ServiceClient::broadcast(const std::string& eventAndPayload) {
  std::string message = "broadcast::" + eventAndPayload;
  broxUnit()->addGenericExceptionMessage(message.c_str());
}

}  // namespace solvarium_test
