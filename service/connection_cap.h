// The cap on the connections served at once, and the check of each new
// connection against it. What it relies on in omniORB:
// - every connection has a thread of its own (orbArguments() keeps the ORB
//   from serving from its pool), taken from the idle ones or made before any
//   check, so a connection costs a descriptor, a thread and that thread's
//   reservation of address space, and the cap is bounded by the limits on
//   each;
// - serverAcceptConnection runs in that thread before any of the
//   connection's bytes are read, and a connection it rejects is closed at
//   once: at the cap a newcomer displaces the oldest connection that has
//   carried no request to the service's objects, or is refused when there is
//   none (connection_register.h), and neither waits in its thread;
// - the listener accepts with libc's accept(2), which this executable's own
//   definition replaces: it holds back while many accepted connections are
//   unsettled, the only bound on the threads that a storm of short
//   connections makes the ORB create.
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

// The connections that fit in the address space the soft RLIMIT_AS leaves:
// in half of what is neither in use now nor reserved for malloc's arenas (the
// other half is for requests), at a thread's reservation and the ORB's
// memory for each. At least 1; 0 when there is no such limit.
unsigned long addressSpaceBound();

// The connections served at once: the least of `maxConnections`, the
// descriptor limit (0: unknown) less room for files, half the smallest task
// limit less the service's own threads, and `addressBound` (0: none). At
// least 1.
unsigned long connectionCap(unsigned long maxConnections, unsigned long descriptorLimit,
                            const TaskLimits& tasks, unsigned long addressBound);

// AAS_MAX_CONNECTIONS as a number (decimal digits, leading zeros allowed, 1
// or more; a larger one than fits is the largest), else the default with one
// stderr line.
unsigned long maxConnections(const Environment& environment);

// From now on each new connection is checked against `cap`, and a request
// to one of the service's objects marks its connection. Call after
// ORB_init, before the listeners start.
void capConnections(unsigned long cap);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CONNECTION_CAP_H_
