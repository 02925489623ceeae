// Expects a call to throw an exception of one type and hands a copy of it
// back, so that the test can check its fields:
//
//   if (const auto e = expectThrow<Exc::EInstantScriptError>([&] { run("x"); })) {
//     EXPECT_STREQ(e->errorInfo.in(), "Unknown command");
//   }
//
// When nothing is thrown, or an exception of another type, the current test
// fails (not fatally) at the caller's line with what was expected, what
// happened and the note, and the answer is empty. E must be copyable, as
// CORBA user exceptions and std::exception types are.
#ifndef SOLVARIUM_TESTS_SUPPORT_EXPECT_THROW_H_
#define SOLVARIUM_TESTS_SUPPORT_EXPECT_THROW_H_

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <typeinfo>
#include <utility>

namespace solvarium_test {

// The exception being handled as text: a CORBA exception's name and members,
// a std::exception's type and what(). Call only inside a catch block.
std::string currentExceptionText();
// The readable (demangled) name of a type.
std::string typeName(const std::type_info& type);

template <class E, class F>
std::optional<E> expectThrow(F&& call, const std::string& note = std::string(),
                             const char* file = __builtin_FILE(), int line = __builtin_LINE()) {
  std::string happened = "nothing was thrown";
  try {
    std::forward<F>(call)();
  } catch (const E& e) {
    return e;
  } catch (...) {
    happened = "got " + currentExceptionText();
  }
  ADD_FAILURE_AT(file, line) << "expected " << typeName(typeid(E))
                             << (note.empty() ? "" : " (" + note + ")") << ": " << happened;
  return std::nullopt;
}

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_EXPECT_THROW_H_
