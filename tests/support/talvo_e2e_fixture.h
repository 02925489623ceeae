// Fixture of the Talvo end-to-end tests: a real "-solver talvo" service with
// the fake session manager; the test plays the solver side through the
// ITalvoExceptionHolder of the key file and the client side through the
// generic ICoSolverUnit of the "instant_" file.
#ifndef SOLVARIUM_TESTS_SUPPORT_TALVO_E2E_FIXTURE_H_
#define SOLVARIUM_TESTS_SUPPORT_TALVO_E2E_FIXTURE_H_

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "AAS_CORBA.hh"
#include "tests/support/harness.h"
#include "tests/support/json_check.h"

namespace solvarium_test {

class TalvoE2eTest : public ServiceTest {
 protected:
  static constexpr const char* kKeyFile = "aaS_TalvoSolvarium.txt";
  static constexpr const char* kUnitFile = "instant_aaS_TalvoId.txt";

  ServiceProcess::Options talvoOptions() const {
    ServiceProcess::Options options = broxOptions();
    options.argv = {SOLVARIUM_BINARY, "-solver", "talvo"};
    options.env.erase("KORLEN_BROXSOLVE_PID");
    return options;
  }

  // Starts the service and waits for both key files.
  void startTalvo(ServiceProcess::Options options, const std::string& unitFile = kUnitFile) {
    holder_ = AAS_CORBA::Talvo::ITalvoExceptionHolder::_nil();
    ServiceProcess& svc = start(options);
    ASSERT_TRUE(svc.waitForKeyFiles({kKeyFile, unitFile})) << svc.stdoutText();
    talvoClient_ = std::make_unique<ServiceClient>(workDir(), kKeyFile, unitFile);
  }
  void startTalvo() { startTalvo(talvoOptions()); }

  ServiceClient& talvo() { return *talvoClient_; }

  std::string keyText(const std::string& name = kKeyFile) {
    std::string text = readFile(workFile(name));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
  }

  // The solver side's reference, from the key file.
  AAS_CORBA::Talvo::ITalvoExceptionHolder_ptr holder() {
    if (CORBA::is_nil(holder_.in())) {
      CORBA::Object_var object = testOrb()->string_to_object(keyText().c_str());
      holder_ = AAS_CORBA::Talvo::ITalvoExceptionHolder::_narrow(object.in());
    }
    return holder_.in();
  }

  void send(const std::vector<std::string>& messages) {
    for (const std::string& message : messages) {
      holder()->addGenericErrorExceptionMessage(message.c_str());
    }
  }

  // Answer of a client command that must succeed.
  std::string answer(const std::string& command) {
    Outcome o = talvo().tryExecute(command);
    EXPECT_TRUE(o.ok) << command << "\n" << o;
    return o.answer;
  }

  // Answer of a command that must succeed with a JSON document.
  std::string json(const std::string& command) {
    const std::string text = answer(command);
    std::string error;
    EXPECT_TRUE(isValidJson(text, &error)) << command << ": " << error << "\n" << text;
    return text;
  }

 private:
  std::unique_ptr<ServiceClient> talvoClient_;
  AAS_CORBA::Talvo::ITalvoExceptionHolder_var holder_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_TALVO_E2E_FIXTURE_H_
