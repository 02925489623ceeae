// Entry of Solvarium: chooses the solver kind, starts the solver process
// watcher and runs the server object until the service shuts down.
#include <ace/Init_ACE.h>

#include <csignal>
#include <cstdio>
#include <string>

#include "common/safe_file.h"
#include "platform/process.h"
#include "service/environment.h"
#include "service/service_log.h"
#include "service/solvarium_server.h"
#include "service/solver_kind.h"
#include "service/solver_object.h"
#include "service/solver_process_checker.h"
#include "service/start_options.h"
#include "service/udf_description.h"

int main(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::signal(SIGPIPE, SIG_IGN);
  ACE::init();
  solvarium::registerSolverKinds();

  // At the soft limit the ORB's listener fails every accept and spins: move
  // that point as far away as the hard limit allows, before the ORB starts.
  solvarium::platform::raiseOpenFileLimit();

  const char* const* args = argv;
  // The environment as it is now, read once and handed down.
  const solvarium::Environment environment = solvarium::Environment::current();
  const int kind = solvarium::solverKindFromArguments(argc, args);
  if (kind < 1 || kind > 4) return 0;
  // Before anything is written here: what interrupted saves left behind.
  solvarium::removeStaleTemporaryFiles(".");

  const solvarium::UdfDescription* udf = nullptr;
  if (kind == 4) udf = solvarium::loadUdfConfiguration(argc, args, environment);

  const std::string missing = solvarium::SolverObject::unavailableKindMessage(kind);
  if (!missing.empty()) {
    solvarium::printText(missing + "\n");
    solvarium::endProcess(1);
  }

  // The watcher's thread is never joined, so the object lives until the
  // process ends.
  auto* checker = new solvarium::CSolverProcessChecker(kind, udf, environment);
  checker->checkProcessId();
  if (checker->activate(THR_NEW_LWP | THR_DETACHED, 1) != 0) {
    solvarium::printText("Error: cannot start the solver process watcher\n");
    solvarium::endProcess(1);
  }

  {
    solvarium::CSolvariumServer server(argc, args, kind, udf, environment);
  }
  // Ends without static destructors: the watcher thread may still sleep.
  solvarium::endProcess(0);
}
