#include "service/environment.h"

#include <cstring>
#include <utility>

extern char** environ;

namespace solvarium {

Environment::Environment(std::map<std::string, std::string> variables)
    : variables_(std::move(variables)) {}

Environment Environment::current() {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    const char* equals = std::strchr(*entry, '=');
    if (equals == nullptr) continue;
    variables.emplace(std::string(*entry, static_cast<std::size_t>(equals - *entry)), equals + 1);
  }
  return Environment(std::move(variables));
}

const char* Environment::get(const char* name) const {
  const auto found = variables_.find(name);
  return found != variables_.end() ? found->second.c_str() : nullptr;
}

std::string Environment::valueOr(const char* name, const std::string& fallback) const {
  const char* value = get(name);
  return value != nullptr ? std::string(value) : fallback;
}

}  // namespace solvarium
