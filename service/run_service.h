// The service's entry as a library function: a program registers the kinds
// it offers (registerSolverKind) and calls runService from its main.
#ifndef SOLVARIUM_SERVICE_RUN_SERVICE_H_
#define SOLVARIUM_SERVICE_RUN_SERVICE_H_

namespace solvarium {

// Reads the environment once, chooses the kind from the arguments (none: 0
// at once, with one stderr line; a first "-solver" that names no kind gets a
// line of its own too), starts the solver process watcher and serves until
// the service shuts down (a `shutdown` call, the watcher, or a stop signal:
// see stop_signals.h). Answers the program's exit code (process_exit.h): 0,
// or 4 when the final save failed. The process also ends from inside: a
// start-up failure with 1, the watcher with 0 when the solver has gone and
// a request keeps the lock (or under a rule without shutdown), the stop
// deadline and a second stop signal with 3.
int runService(int argc, char** argv);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_RUN_SERVICE_H_
