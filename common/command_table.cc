#include "common/command_table.h"

namespace solvarium {

std::string suggestText(const std::set<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  return text;
}

const char* implementsAnswer(const std::set<std::string>& names, const std::string& word) {
  const std::size_t prefix = sizeof kImplementsPrefix - 1;
  return names.count("aaS." + word.substr(prefix)) != 0 ? "True" : "False";
}

}  // namespace solvarium
