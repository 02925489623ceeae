#include "service/solver_kind.h"

#include <map>
#include <utility>

namespace solvarium {

namespace {

std::map<int, SolverKindFactory>& factories() {
  static std::map<int, SolverKindFactory> table;
  return table;
}

}  // namespace

void registerSolverKind(int kind, SolverKindFactory factory) {
  factories()[kind] = std::move(factory);
}

bool isSolverKindRegistered(int kind) { return factories().count(kind) != 0; }

std::unique_ptr<SolverKind> createSolverKind(int kind, CORBA::ORB_ptr orb,
                                             const UdfDescription* udf,
                                             const Environment& environment) {
  auto found = factories().find(kind);
  if (found == factories().end()) return nullptr;
  return found->second(orb, udf, environment);
}

}  // namespace solvarium
