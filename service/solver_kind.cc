#include "service/solver_kind.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "service/instant_scripting.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace {

std::vector<const SolverKindRecord*>& registry() {
  static std::vector<const SolverKindRecord*> records;
  return records;
}

const SolverKindRecord* chosenBySolverOption(const char* value) {
  for (const SolverKindRecord* record : registry()) {
    const std::vector<std::string>& options = record->solverOptions;
    if (std::find(options.begin(), options.end(), value) != options.end()) return record;
  }
  return nullptr;
}

}  // namespace

void registerSolverKind(const SolverKindRecord& record) {
  std::vector<const SolverKindRecord*>& records = registry();
  if (std::find(records.begin(), records.end(), &record) == records.end()) {
    records.push_back(&record);
  }
}

const SolverKindRecord* chooseSolverKind(int argc, const char* const* argv) {
  if (argv != nullptr) {
    for (int i = 0; i < argc; ++i) {
      if (argv[i] == nullptr || std::strcmp(argv[i], "-solver") != 0) continue;
      const SolverKindRecord* chosen = nullptr;
      if (i + 1 < argc && argv[i + 1] != nullptr) chosen = chosenBySolverOption(argv[i + 1]);
      if (chosen != nullptr) return chosen;
      break;  // only the first "-solver" counts
    }
  }
  if (argc < 1 || argv == nullptr || argv[0] == nullptr) return nullptr;
  const std::string program = argv[0];
  for (const SolverKindRecord* record : registry()) {
    const std::string& marker = record->programMarker;
    if (!marker.empty() && program.find(marker) != std::string::npos) return record;
  }
  return nullptr;
}

std::string solverKindsUsage() {
  std::string text;
  for (const SolverKindRecord* record : registry()) {
    text += "  " + record->solverOptions.front() + ", \"" + record->programMarker + "\":\n";
    if (record->needsSessionManager) {
      text += "    KORLEN_SESSION_MANAGER_SOCKET  required: host:port that receives the key\n";
    }
    text += record->usage;
  }
  return text;
}

SolverKind::SolverKind(CORBA::ORB_ptr orb, const SolverKindRecord& record)
    : SolverKind(orb, record, record.texts) {}

SolverKind::SolverKind(CORBA::ORB_ptr orb, const SolverKindRecord& record, const KindTexts& texts)
    : orb_(CORBA::ORB::_duplicate(orb)),
      record_(record),
      texts_(texts),
      scripting_(new CInstantScripting(texts_, this)),
      solverUnit_(new CCoSolverUnit(texts_, this)),
      fileSystem_(new CCoFileSystem(texts_)) {}

SolverKind::~SolverKind() = default;

char* SolverKind::run(const char* command, Raises raises) {
  if (command == nullptr) command = "";
  beforeCommand();
  const SerialCall serial;
  try {
    char* answer = interpret(command);
    return answer != nullptr ? answer : CORBA::string_dup("");
  } catch (const CORBA::UserException&) {
    if (raises == Raises::kGenericTwins && record_.twins != nullptr) record_.twins();
    throw;  // generic exceptions pass unchanged
  } catch (const std::exception& e) {
    // Would reach the client as UNKNOWN.
    if (raises == Raises::kKindModule && record_.failure != nullptr) {
      record_.failure(command, e.what());
    }
    throw KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError(1, command, e.what(), "");
  }
}

std::string SolverKind::iorText(CORBA::Object_ptr reference) {
  CORBA::String_var text = orb_->object_to_string(reference);
  return text.in();
}

std::string SolverKind::publishedIor() {
  return kindServant() != nullptr ? ownerIorText() : solverUnitIor();
}

std::string SolverKind::solverUnitIor() {
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = solverUnit_->_this();
  return iorText(unit.in());
}

std::string SolverKind::ownerIorText() {
  if (kindServant() == nullptr) {
    KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting = scripting_->_this();
    return iorText(scripting.in());
  }
  PortableServer::POA_var poa = servantPoa();
  CORBA::Object_var reference = poa->servant_to_reference(kindServant());
  return iorText(reference.in());
}

CORBA::ORB_ptr SolverKind::ownerOrb() { return orb_.in(); }
CInstantScripting* SolverKind::scriptingServant() { return scripting_.get(); }
CCoFileSystem* SolverKind::fileSystemServant() { return fileSystem_.get(); }
CCoSolverUnit* SolverKind::solverUnitServant() { return solverUnit_.get(); }

}  // namespace solvarium
