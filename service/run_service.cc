#include "service/run_service.h"

#include <ace/Init_ACE.h>

#include <csignal>
#include <cstdio>
#include <memory>

#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "platform/process.h"
#include "service/service_log.h"
#include "service/solvarium_server.h"
#include "service/solver_kind.h"
#include "service/solver_process_checker.h"

namespace solvarium {

int runService(int argc, char** argv) {
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::signal(SIGPIPE, SIG_IGN);
  ACE::init();

  // At the soft limit the ORB's listener fails every accept and spins: move
  // that point as far away as the hard limit allows, before the ORB starts.
  platform::raiseOpenFileLimit();

  // The environment as it is now, read once and handed down.
  const StartContext context{argc, argv, Environment::current()};
  const SolverKindRecord* record = chooseSolverKind(argc, argv);
  if (record == nullptr) return 0;
  // Before anything is written here: what interrupted saves left behind.
  removeStaleTemporaryFiles(".");

  std::unique_ptr<KindSettings> settings;
  if (record->readSettings) settings = record->readSettings(context);

  CSolverProcessChecker watcher(record->watch);
  watcher.checkProcessId(context, settings.get());
  if (!watcher.start()) {
    printText("Error: cannot start the solver process watcher\n");
    endProcess(1);
  }

  CSolvariumServer server(*record, context);
  server.run(settings.get());
  // The watcher goes before the ORB that it calls through: the server, made
  // after it, is destroyed first and destroys the ORB.
  watcher.stop();
  flushDiagnostics(kExitFlushTime);
  return 0;
}

}  // namespace solvarium
