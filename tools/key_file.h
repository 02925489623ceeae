// Reading the object reference that a key file holds.
#ifndef SOLVARIUM_TOOLS_KEY_FILE_H_
#define SOLVARIUM_TOOLS_KEY_FILE_H_

#include <string>

namespace solvarium {
namespace client {

// The reference text named by `keyArgument`: the argument itself when it
// starts with "IOR:", "corbaloc:" or "corbaname:", else the content of the
// file of that name with surrounding white space removed. Throws ClientError
// when the file cannot be read or holds no text.
std::string readKey(const std::string& keyArgument);

}  // namespace client
}  // namespace solvarium

#endif  // SOLVARIUM_TOOLS_KEY_FILE_H_
