// The cap on the service's connections, and the guard on the ORB's own log
// lines: every connection has a thread of its own (the ORB never serves from
// its pool), and a connection that would pass the cap is closed at once.
#ifndef SOLVARIUM_SERVICE_CONNECTION_CAP_H_
#define SOLVARIUM_SERVICE_CONNECTION_CAP_H_

namespace solvarium {

class Environment;

// Connections served at once unless AAS_MAX_CONNECTIONS says otherwise.
constexpr unsigned long kDefaultMaxConnections = 4000;

// Limits on the tasks (threads) the process may have; 0: none or unknown.
struct TaskLimits {
  unsigned long user = 0;     // RLIMIT_NPROC
  unsigned long cgroup = 0;   // the smallest pids.max of the process's cgroups
  unsigned long threads = 0;  // /proc/sys/kernel/threads-max
  unsigned long pids = 0;     // /proc/sys/kernel/pid_max
};
TaskLimits currentTaskLimits();

// The connections served at once: the least of `maxConnections`, the
// descriptor limit (0: unknown) less room for files, and half the smallest
// task limit less the service's own threads. At least 1.
unsigned long connectionCap(unsigned long maxConnections, unsigned long descriptorLimit,
                            const TaskLimits& tasks);

// AAS_MAX_CONNECTIONS as a number, else the default (with one stderr line
// when it is set but not a positive number).
unsigned long maxConnections(const Environment& environment);

// From now on the ORB closes at once every connection that arrives while
// `cap` are open. Call after ORB_init, before the listeners start.
void capConnections(unsigned long cap);

// One line of the ORB's log, with repeats collapsed: the first few of a text
// as they are, then one line per interval with the count. A connection whose
// request raised std::bad_alloc before any servant ran is closed.
void orbLogLine(const char* text);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CONNECTION_CAP_H_
