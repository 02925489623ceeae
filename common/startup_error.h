// StartupError: a failure that ends the service's start-up, thrown while a
// kind's root object is made or its servants are activated. The service
// prints what() as it is (plus a line feed), appends it to the start-up error
// file and ends with code 1; one line on stderr says the cause and what to
// set or fix.
#ifndef SOLVARIUM_COMMON_STARTUP_ERROR_H_
#define SOLVARIUM_COMMON_STARTUP_ERROR_H_

#include <stdexcept>
#include <string>
#include <utility>

namespace solvarium {

class StartupError : public std::runtime_error {
 public:
  // `advice`: the stderr line (cause and what to set or fix); empty: the
  // first line of `text` that is not empty.
  explicit StartupError(const std::string& text, std::string advice = std::string())
      : std::runtime_error(text), advice_(std::move(advice)) {}

  const std::string& advice() const { return advice_; }

 private:
  std::string advice_;
};

// The first line of `text` that is not empty, without its line feed.
inline std::string firstTextLine(const std::string& text) {
  const std::string::size_type begin = text.find_first_not_of('\n');
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find('\n', begin) - begin);
}

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_STARTUP_ERROR_H_
