// CORBA exceptions as plain data, so that a test compares an exception's
// name and members as text, and a gtest check on them.
#ifndef SOLVARIUM_TESTS_SUPPORT_OUTCOME_H_
#define SOLVARIUM_TESTS_SUPPORT_OUTCOME_H_

#include <functional>
#include <map>
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <omniORB4/CORBA.h>

namespace solvarium_test {

// An exception (or an answer) as plain data.
struct Outcome {
  bool ok = false;
  std::string answer;                         // the result when ok
  std::string exception;                      // "EUnknown", "EKorlenUnknown", "CORBA::UNKNOWN", ...
  std::string repositoryId;                   // "IDL:..." of the exception
  std::map<std::string, std::string> members; // member name -> value as text
  std::string member(const std::string& name) const;
};
// Describes any CORBA exception: generic, Instant, BROXInstant, AAS_CORBA,
// system exceptions ("CORBA::<NAME>", members "minor" and "completed").
Outcome describe(const CORBA::Exception& e);
// Runs f and turns its result or its exception into an Outcome.
Outcome capture(const std::function<std::string()>& f);
std::ostream& operator<<(std::ostream& os, const Outcome& o);
// Success when o is the named exception and every listed member has exactly
// the listed value (other members are not looked at):
//   EXPECT_TRUE(isException(o, "EUnknown", {{"code", "1"}, {"scope", "x"}}));
::testing::AssertionResult isException(const Outcome& o, const std::string& name,
                                       const std::map<std::string, std::string>& members = {});

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_OUTCOME_H_
