// Fixture of the UDF end-to-end tests: a description and a Python main file
// written by the test into the working directory, Debian's libpython3.11
// with home "/usr", and the stand-in solver's pid in the description.
#ifndef SOLVARIUM_TESTS_SUPPORT_UDF_E2E_FIXTURE_H_
#define SOLVARIUM_TESTS_SUPPORT_UDF_E2E_FIXTURE_H_

#include <map>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/harness.h"

namespace solvarium_test {

inline const char kPythonLibrary[] = "/usr/lib/x86_64-linux-gnu/libpython3.11.so.1.0";

class UdfE2eTest : public ServiceTest {
 protected:
  // The solverInfo body: one element per line in this order, each replaced
  // by `replace`'s text when it names it ("" leaves the element out).
  std::string solverInfo(const std::map<std::string, std::string>& replace = {}) {
    const std::vector<std::pair<std::string, std::string>> elements = {
        {"solverName", "<solverName>demo</solverName>"},
        {"accessType", "<accessType>instant</accessType>"},
        {"pythonHome", "<pythonHome>/usr</pythonHome>"},
        {"pythonDllFile", std::string("<pythonDllFile>") + kPythonLibrary + "</pythonDllFile>"},
        {"pythonMainFile", "<pythonMainFile>main.py</pythonMainFile>"},
        {"solverPid", "<solverPid>" + solver().pidText() + "</solverPid>"}};
    std::string body;
    for (const auto& element : elements) {
      auto it = replace.find(element.first);
      const std::string& line = it != replace.end() ? it->second : element.second;
      if (!line.empty()) body += "  " + line + "\n";
    }
    return body;
  }

  // Writes "<aasSolver><solverInfo>info</solverInfo>commands</aasSolver>".
  void writeDescription(const std::string& info, const std::string& commands,
                        const std::string& name = "aas_udf_instant.xml") {
    writeFile(workFile(name), "<?xml version=\"1.0\"?>\n<aasSolver>\n <solverInfo>\n" + info +
                                  " </solverInfo>\n" + commands + "</aasSolver>\n");
  }

  void writeMain(const std::string& text, const std::string& name = "main.py") {
    writeFile(workFile(name), text);
  }

  ServiceProcess::Options udfOptions(const std::vector<std::string>& extraArgs = {}) const {
    ServiceProcess::Options o = broxOptions();
    o.argv = {SOLVARIUM_BINARY, "-solver", "3p_aas"};
    o.argv.insert(o.argv.end(), extraArgs.begin(), extraArgs.end());
    return o;
  }

  // Starts the service and waits for its key file; fails the test when it
  // does not appear.
  ServiceProcess& startUdf(ServiceProcess::Options options,
                           const std::string& keyFile = "aaSUdf_Id.txt") {
    ServiceProcess& svc = start(options);
    if (!svc.waitForKeyFiles({keyFile})) {
      ADD_FAILURE() << "key file did not appear; stdout:\n" << svc.stdoutText();
    }
    udf_ = std::make_unique<ServiceClient>(workDir(), keyFile, keyFile);
    return svc;
  }

  // Client of the UDF unit through its key file.
  ServiceClient& udf() { return *udf_; }

  // The process's own error file ("3p_aas_error_<pid>.txt").
  std::string udfErrorFile() { return workFile("3p_aas_error_" + std::to_string(service().pid()) + ".txt"); }

 private:
  std::unique_ptr<ServiceClient> udf_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_UDF_E2E_FIXTURE_H_
