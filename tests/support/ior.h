// IOR texts as the service writes them into its key files, read without an
// ORB, and a free loopback port to point a service at.
#ifndef SOLVARIUM_TESTS_SUPPORT_IOR_H_
#define SOLVARIUM_TESTS_SUPPORT_IOR_H_

#include <string>

namespace solvarium_test {

// True for "IOR:" and an even number of hex digits (a line end may follow):
// a key file written whole.
bool isCompleteIor(const std::string& text);
// Type id inside an IOR text ("IOR:" + hex CDR encapsulation); "" when malformed.
std::string iorTypeId(const std::string& ior);
// Host, port and object key of the first IIOP profile of an IOR; port 0 when
// there is none.
struct IiopAddress {
  std::string host;
  int port = 0;
  std::string objectKey;
};
IiopAddress iorAddress(const std::string& ior);
// A TCP port on 127.0.0.1 that was free a moment ago.
int freeLoopbackPort();

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_IOR_H_
