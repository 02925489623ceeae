// Environment: the process environment as it was when the service started.
// The entry reads it once and hands it down to the core and to the kinds.
// Still read live: a kind's "aaS.getenv" (a command about the live
// environment), the failure texts of a kind's programs (PATH,
// LD_LIBRARY_PATH and the variable naming the programs' folder), TMP and
// TMPDIR (platform/temp_dir.cc), and the environment that every program
// started inherits. The ORB reads its own variables only while it starts,
// and then sees only the tracing ones ("ORBtrace...", not ORBtraceFile):
// the server hides every other "ORB..." and "OMNIORB..." variable, and the
// ORB's configuration file, until the listeners are made
// (service/solvarium_server.cc).
// Read-only once made, so any thread may read it.
#ifndef SOLVARIUM_SERVICE_ENVIRONMENT_H_
#define SOLVARIUM_SERVICE_ENVIRONMENT_H_

#include <initializer_list>
#include <map>
#include <string>
#include <utility>

namespace solvarium {

class Environment {
 public:
  Environment() = default;  // no variable set
  explicit Environment(std::map<std::string, std::string> variables);
  Environment(std::initializer_list<std::pair<const std::string, std::string>> variables)
      : variables_(variables) {}

  // A copy of the process environment now; of two entries with one name, the
  // first, as getenv answers.
  static Environment current();

  // The value of `name` as getenv answers it: null when it is not set. The
  // text lives as long as this object.
  const char* get(const char* name) const;
  // The value of `name`, or `fallback` when it is not set (an empty value is
  // a value).
  std::string valueOr(const char* name, const std::string& fallback) const;

 private:
  std::map<std::string, std::string> variables_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_ENVIRONMENT_H_
