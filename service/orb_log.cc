#include "service/orb_log.h"

#include <omniORB4/CORBA.h>

#include <string>

#include "common/diagnostics.h"
#include "service/connection_register.h"

namespace solvarium {

void orbLogLine(const char* text) {
  const std::string line = text;
  if (line.find("raised std::bad_alloc") != std::string::npos) closeServedConnection();
  if (omniORB::traceLevel > 1) {
    diagnosticText(line, 64 * 1024);
  } else {
    repeatedDiagnostic(line);
  }
}

}  // namespace solvarium
