// The client's one place that turns a CORBA exception into one JSON line.
//
// A user exception of the contract becomes
//   {"exception":"<repository id>","<member>":<value>,...}
// with every member in IDL declaration order (numbers bare, strings
// JSON-escaped). A system exception becomes
//   {"exception":"CORBA::<NAME>","minor":<n>,"minorName":"<text>","completed":"COMPLETED_NO"}
// ("minorName" is omniORB's name of the minor code, empty when it has none).
// Any other user exception (not declared in the IDL) prints its repository id only.
#ifndef SOLVARIUM_TOOLS_EXCEPTION_PRINTER_H_
#define SOLVARIUM_TOOLS_EXCEPTION_PRINTER_H_

#include <omniORB4/CORBA.h>

#include <string>

namespace solvarium {
namespace client {

// Exit codes of solvarium-client.
constexpr int kExitOk = 0;
constexpr int kExitUserException = 1;
constexpr int kExitFailure = 2;  // system exception, usage, key file, local file

// The JSON line (without a trailing newline) describing `ex`.
std::string exceptionJson(const CORBA::Exception& ex);

// kExitUserException for a user exception, kExitFailure otherwise.
int exitCodeFor(const CORBA::Exception& ex);

}  // namespace client
}  // namespace solvarium

#endif  // SOLVARIUM_TOOLS_EXCEPTION_PRINTER_H_
