#include "tests/support/service_test.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "tests/support/files.h"

namespace solvarium_test {

ServiceTest::ServiceTest() {
  root_ = std::make_unique<TempDir>("solvarium-e2e");
  if (!root_->ok()) throw std::runtime_error(root_->error());
  work_ = root_->file("work");
  bin_ = root_->file("bin");
  broxBin_ = root_->file("broxbin");
  logs_ = root_->file("logs");
  for (const std::string& d : {work_, bin_, broxBin_, broxBin_ + "/linux-amd64", logs_})
    mkdir(d.c_str(), 0755);
  std::string lib = QUENNET_LIBRARY;
  if (symlink(lib.c_str(), (broxBin_ + "/linux-amd64/libQuennet.so").c_str()) != 0)
    ADD_FAILURE() << "cannot link " << lib;
  sessionManager_ = std::make_unique<FakeSessionManager>();
  solver_ = std::make_unique<StandInSolver>();
}

ServiceTest::~ServiceTest() {
  endService();
  solver_.reset();
  sessionManager_.reset();
  root_.reset();
}

void ServiceTest::endService() {
  client_.reset();
  if (!service_) return;
  service_->kill();
  const std::string report = sanitizerReport(service_->stderrText());
  if (!report.empty())  // its whole stderr follows
    ADD_FAILURE() << "the service printed a sanitizer report: "
                  << report.substr(0, report.find('\n'));
  if (::testing::Test::HasFailure()) {
    std::fprintf(stderr, "---- service stdout ----\n%s\n---- service stderr ----\n%s\n",
                 service_->stdoutText().c_str(), service_->stderrText().c_str());
  }
  service_.reset();
}

Environment ServiceTest::broxEnvironment() const {
  Environment env;
  env["PATH"] = bin_ + ":/usr/local/bin:/usr/bin:/bin";
  env["HOME"] = work_;
  env["TMP"] = logs_;
  env["TMPDIR"] = logs_;
  env["LANG"] = "C";
  env["BROXBINDIR"] = broxBin_;
  env["AAS_HOST"] = "127.0.0.1";
  env["AAS_PORTS"] = "0";
  env["KORLEN_BROXSOLVE_PID"] = solver_->pidText();
  env["KORLEN_SESSION_MANAGER_SOCKET"] = sessionManager_->address();
  addSanitizerOptions(env);
  return env;
}

ServiceProcess::Options ServiceTest::broxOptions(const std::vector<std::string>& extraArgs) const {
  ServiceProcess::Options o;
  o.argv = {SOLVARIUM_BINARY, "-solver", "brox"};
  o.argv.insert(o.argv.end(), extraArgs.begin(), extraArgs.end());
  o.env = broxEnvironment();
  o.workDir = work_;
  o.logDir = logs_;
  return o;
}

ServiceProcess& ServiceTest::start(ServiceProcess::Options options) {
  endService();
  if (options.workDir.empty()) options.workDir = work_;
  if (options.logDir.empty()) options.logDir = logs_;
  service_ = std::make_unique<ServiceProcess>(std::move(options));
  return *service_;
}

ServiceProcess& ServiceTest::startBrox(const std::vector<std::string>& extraArgs) {
  ServiceProcess& svc = start(broxOptions(extraArgs));
  std::string key = "aaS_BROXSolvarium.txt";
  auto it = svc.options().env.find("BROX_AAS_KEY_FILE");
  if (it != svc.options().env.end() && !it->second.empty()) key = it->second;
  if (!svc.waitForKeyFiles({key, "instant_" + key}))
    ADD_FAILURE() << "key files did not appear; stdout:\n" << svc.stdoutText();
  client_ = std::make_unique<ServiceClient>(work_, key, "instant_" + key);
  return svc;
}

ServiceClient& ServiceTest::client() {
  if (!client_) client_ = std::make_unique<ServiceClient>(work_);
  return *client_;
}

void ServiceTest::useFakeQuennet() {
  std::string link = broxBin_ + "/linux-amd64/libQuennet.so";
  unlink(link.c_str());
  if (symlink(FAKE_QUENNET_LIBRARY, link.c_str()) != 0) ADD_FAILURE() << "cannot link fake Quennet";
}

void ServiceTest::clearWorkDir() {
  for (const std::string& name : listDirectory(work_)) removeTree(work_ + "/" + name);
}

void ServiceTest::writeProgram(const std::string& name, const std::string& body) {
  writeFile(bin_ + "/" + name, "#!/bin/sh\n" + body, 0755);
}

ProcessResult ServiceTest::runClient(const std::vector<std::string>& args, milliseconds timeout,
                                     const std::string& stdoutPath) {
  std::vector<std::string> argv = {SOLVARIUM_CLIENT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  Environment env;
  env["PATH"] = "/usr/bin:/bin";
  addSanitizerOptions(env);
  ProcessResult result = runProgram(argv, env, work_, timeout, stdoutPath);
  const std::string report = sanitizerReport(result.err);
  if (!report.empty()) ADD_FAILURE() << "solvarium-client printed a sanitizer report:\n" << report;
  return result;
}

}  // namespace solvarium_test
