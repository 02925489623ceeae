// The service's entry as a library function: a program registers the kinds
// it offers (registerSolverKind) and calls runService from its main.
#ifndef SOLVARIUM_SERVICE_RUN_SERVICE_H_
#define SOLVARIUM_SERVICE_RUN_SERVICE_H_

namespace solvarium {

// Reads the environment once, chooses the kind from the arguments (none: 0
// at once, with one stderr line; a first "-solver" that names no kind gets a
// line of its own too), starts the solver process watcher and serves until
// the service shuts down (a `shutdown` call, the watcher, or a stop signal:
// see stop_signals.h). Answers the program's exit code (0, or
// kFinalSaveFailedExitCode); start-up failures and a solver that has gone
// may end the process from inside.
int runService(int argc, char** argv);

// The exit code of an end whose final save failed ("monitor.json" kept).
constexpr int kFinalSaveFailedExitCode = 4;

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_RUN_SERVICE_H_
