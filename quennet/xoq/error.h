// Error class of the stand-in for the maker's error library. Thrown by the
// run-information reader; deliberately not a std::exception, as callers catch
// it on its own.
#ifndef SOLVARIUM_QUENNET_XOQ_ERROR_H_
#define SOLVARIUM_QUENNET_XOQ_ERROR_H_

#include <string>

namespace xoq {

class Error {
 public:
  explicit Error(std::string message) : message_(std::move(message)) {}

  // The translated message text.
  const std::string& message() const { return message_; }

 private:
  std::string message_;
};

// Message catalogue of the maker's libraries.
class TranslationManager {
 public:
  // Prepares the messages of Error for use and returns the language they are
  // written in. Safe to call any number of times, from any thread.
  static std::string initialize();
};

}  // namespace xoq

#endif  // SOLVARIUM_QUENNET_XOQ_ERROR_H_
