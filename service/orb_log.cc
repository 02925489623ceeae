#include "service/orb_log.h"

#include <omniORB4/CORBA.h>

#include <cstring>

#include "common/diagnostics.h"
#include "service/connection_register.h"

namespace solvarium {

void orbLogLine(const char* text) {
  if (std::strstr(text, "raised std::bad_alloc") != nullptr) closeServedConnection();
  // The ORB calls this from its logger's destructor: nothing may leave it.
  try {
    if (omniORB::traceLevel > 1) {
      diagnosticText(text, 64 * 1024);
    } else {
      repeatedDiagnostic(text);
    }
  } catch (...) {
    // no memory for the line's copy: it is lost
  }
}

}  // namespace solvarium
