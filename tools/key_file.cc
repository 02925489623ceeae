#include "tools/key_file.h"

#include "common/safe_file.h"
#include "common/text_words.h"
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n\v\f";
  const size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  const size_t last = text.find_last_not_of(blanks);
  return text.substr(first, last - first + 1);
}

}  // namespace

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
  std::string key = trimmed(content);
  if (key.empty()) throw ClientError("key file is empty: " + keyArgument);
  return key;
}

}  // namespace client
}  // namespace solvarium
