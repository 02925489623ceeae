// StartupError: a failure that ends the service's start-up, thrown while a
// kind's root object is made or its servants are activated. The service
// prints what() as it is (plus a line feed), appends it to the start-up error
// file and ends with code 1.
#ifndef SOLVARIUM_COMMON_STARTUP_ERROR_H_
#define SOLVARIUM_COMMON_STARTUP_ERROR_H_

#include <stdexcept>

namespace solvarium {

class StartupError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_STARTUP_ERROR_H_
