// The ORB's own log lines among the service's diagnostics (installed with
// omniORB::setLogFunction before ORB_init): each is queued, never written by
// the ORB thread that logs it. Repeats collapse into counts (diagnostics.h)
// unless tracing is turned on (omniORB::traceLevel above 1: every line is
// kept, and longer). What it relies on in omniORB: the log function may be
// called from any thread; a request whose object key cannot be allocated is
// logged as "... raised std::bad_alloc" by the thread of its connection,
// which the ORB would then read again and again: that connection is closed
// (connection_register.h).
#ifndef SOLVARIUM_SERVICE_ORB_LOG_H_
#define SOLVARIUM_SERVICE_ORB_LOG_H_

namespace solvarium {

// One line of the ORB's log.
void orbLogLine(const char* text);

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_ORB_LOG_H_
