// Fixture of the Grend end-to-end tests: a real "-solver grend" service with
// GREND_DASH_DIR_FOLDER set to a monitor folder of its own, a client of the
// Grend key files, and the solver side played by the test through the
// ICoGrendUnit key.
#ifndef SOLVARIUM_TESTS_SUPPORT_GREND_E2E_FIXTURE_H_
#define SOLVARIUM_TESTS_SUPPORT_GREND_E2E_FIXTURE_H_

#include <sys/stat.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "tests/support/harness.h"
#include "tests/support/json_check.h"

namespace solvarium_test {

class GrendE2eTest : public ServiceTest {
 protected:
  GrendE2eTest()
      : dash_(workDir().substr(0, workDir().rfind('/')) + "/dash"),
        grendClient_(workDir(), "aaS_GrendSolvarium.txt", "instant_aaS_GrendId.txt") {
    ::mkdir(dash_.c_str(), 0755);
  }

  ServiceProcess::Options grendOptions() const {
    ServiceProcess::Options options = broxOptions();
    options.argv = {SOLVARIUM_BINARY, "-solver", "grend"};
    options.env.erase("KORLEN_BROXSOLVE_PID");
    options.env["GREND_DASH_DIR_FOLDER"] = dash_;
    return options;
  }

  // Starts the service and waits for both key files.
  void startGrend() { startGrend(grendOptions()); }
  void startGrend(const ServiceProcess::Options& options) {
    ServiceProcess& svc = start(options);
    ASSERT_TRUE(svc.waitForKeyFiles({"aaS_GrendSolvarium.txt", "instant_aaS_GrendId.txt"}))
        << svc.stdoutText();
  }

  // The monitor folder and a path in it.
  const std::string& dash() const { return dash_; }
  std::string dashFile(const std::string& name) const { return dash_ + "/" + name; }

  ServiceClient& grendClient() { return grendClient_; }

  // The solver side's reference: the published key.
  AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit_var grendUnit() {
    std::string key = readFile(workFile("aaS_GrendSolvarium.txt"));
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r')) key.pop_back();
    CORBA::Object_var object = testOrb()->string_to_object(key.c_str());
    return AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit::_narrow(object.in());
  }
  // "broadcast::" + text from the solver side; the outcome of the call.
  Outcome broadcast(const std::string& text) {
    return capture([&] {
      grendUnit()->addGenericExceptionMessage(("broadcast::" + text).c_str());
      return std::string();
    });
  }
  Outcome grendCommand(const std::string& command) {
    return capture([&] {
      CORBA::String_var answer = grendUnit()->executeCommandToString(command.c_str());
      return std::string(answer.in());
    });
  }
  // The answer of a client command, which must succeed with valid JSON.
  std::string json(const std::string& command) {
    Outcome o = grendClient_.tryExecute(command);
    EXPECT_TRUE(o.ok) << command << "\n" << o;
    std::string error;
    EXPECT_TRUE(isValidJson(o.answer, &error)) << command << ": " << error << "\n" << o.answer;
    return o.answer;
  }

 private:
  std::string dash_;
  ServiceClient grendClient_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_GREND_E2E_FIXTURE_H_
