#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

std::vector<Verb> allVerbs() {
  std::vector<Verb> verbs;
  for (auto part : {solverUnitVerbs, scriptingVerbs, fileSystemVerbs, kindVerbs}) {
    for (Verb& verb : part()) verbs.push_back(std::move(verb));
  }
  return verbs;
}

}  // namespace client
}  // namespace solvarium
