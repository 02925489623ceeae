#include "tools/key_file.h"

#include "common/safe_file.h"
#include "common/text_words.h"
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

std::string readKey(const std::string& keyArgument) {
  if (matchPrefix(keyArgument, "IOR:") || matchPrefix(keyArgument, "corbaloc:") ||
      matchPrefix(keyArgument, "corbaname:")) {
    return keyArgument;
  }
  std::string content;
  std::string error;
  if (!readWholeFile(keyArgument, &content, &error)) {
    throw ClientError("cannot read key file: " + error);
  }
  const std::string key(trimChars(content, " \t\r\n\v\f"));
  if (key.empty()) throw ClientError("key file is empty: " + keyArgument);
  return key;
}

}  // namespace client
}  // namespace solvarium
