#include "service/run_service.h"

#include <ace/Init_ACE.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "platform/process.h"
#include "platform/thread_stacks.h"
#include "service/process_exit.h"
#include "service/service_log.h"
#include "service/solvarium_server.h"
#include "service/solver_kind.h"
#include "service/solver_process_checker.h"
#include "service/startup_memory.h"
#include "service/stop_signals.h"

namespace solvarium {

namespace {

// One stderr line when the first "-solver" names no kind; the program name
// then chooses, as without the option.
void reportUnknownSolverOption(int argc, const char* const* argv) {
  for (int i = 1; argv != nullptr && i < argc; ++i) {
    if (argv[i] == nullptr || std::strcmp(argv[i], "-solver") != 0) continue;
    if (i + 1 >= argc || argv[i + 1] == nullptr) {
      solvarium::diagnostic("-solver has no value: the program name chooses the kind\n");
      return;
    }
    // The option alone, under a program name that chooses nothing.
    const char* const option[] = {"", "-solver", argv[i + 1]};
    if (chooseSolverKind(3, option) == nullptr) {
      solvarium::diagnostic(
          "-solver '%s' names no kind (see --help): the program name chooses the "
          "kind\n",
          argv[i + 1]);
    }
    return;
  }
}

}  // namespace

int runService(int argc, char** argv) {
  // Before anything else: which stop signals were ignored when we started.
  StopSignals stopSignals;
  // Room to say so when memory runs out while the service starts.
  watchStartupMemory();
  // Before any thread exists: every thread's reservation is small.
  platform::reserveThreadStacks();
  keepStartDescriptors();
  std::setvbuf(stdout, nullptr, _IOLBF, 0);
  std::signal(SIGPIPE, SIG_IGN);
  // A write past the file size limit then fails with EFBIG instead.
  std::signal(SIGXFSZ, SIG_IGN);
  ACE::init();

  // At the soft limit the ORB's listener fails every accept and spins: move
  // that point as far away as the hard limit allows, before the ORB starts.
  platform::raiseOpenFileLimit();

  // The environment as it is now, read once and handed down.
  const StartContext context{argc, argv, Environment::current()};
  reportUnknownSolverOption(argc, argv);
  const SolverKindRecord* record = chooseSolverKind(argc, argv);
  if (record == nullptr) {
    solvarium::diagnostic(
        "No solver kind chosen, nothing to serve: give -solver <kind>, or start the program "
        "under a name that contains a kind's program name (see --help)\n");
    flushDiagnostics(kExitFlushTime);
    return kExitNormal;
  }
  if (!startDiagnostics()) failThreadStart("diagnostics writer's");
  if (!stopSignals.start()) endProcess(kExitStartFailed);
  // Before anything is written here: what interrupted saves left behind.
  removeStaleTemporaryFiles(".");

  std::unique_ptr<KindSettings> settings;
  if (record->readSettings) settings = record->readSettings(context);

  CSolverProcessChecker watcher(record->watch);
  watcher.checkProcessId(context, settings.get());
  if (!watcher.start()) {
    printText("Error: cannot start the solver process watcher\n");
    failThreadStart("solver process watcher's");
  }

  // At a limit on tasks, the ORB's idle threads may hold every task when the
  // final save starts its programs.
  if (!platform::keepTaskForTheEnd()) {
    solvarium::diagnostic(
        "Start-up failed: no task left to keep for the final save's programs (%s): raise the "
        "limit on threads (ulimit -u) or free memory\n",
        std::strerror(errno));
    endProcess(kExitStartFailed);
  }

  CSolvariumServer server(*record, context);
  server.run(settings.get(), [&stopSignals] { stopSignals.serve(); });
  // The signal thread and the watcher go before the ORB that they call
  // through: the server, made after them, is destroyed first and destroys
  // the ORB.
  stopSignals.stop();
  watcher.stop();
  return finishProcess(server.finalSaveFailed() ? kExitFinalSaveFailed : kExitNormal);
}

}  // namespace solvarium
