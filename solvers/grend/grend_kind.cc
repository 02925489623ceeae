#include "solvers/grend/grend_kind.h"

#include <memory>
#include <string>
#include <vector>

#include "common/safe_file.h"
#include "solvers/generic_twins.h"
#include "solvers/grend/grend_servant.h"
#include "solvers/instant_kind.h"

namespace GREND {

namespace {

using solvarium::KeyFile;
using solvarium::StartContext;
using solvarium::WatchRule;

const char kKeyFile[] = "aaS_GrendSolvarium.txt";

solvarium::SolverKindRecord makeRecord() {
  using AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit;
  solvarium::SolverKindRecord record =
      solvarium::instantKindRecord("grend", "GrendSolvarium", "korlen-grend", "grend_instant_aas");
  record.needsSessionManager = true;
  record.twins = solvarium::twin::rethrowErrorTwins<
      AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown,
      AAS_CORBA::GRENDInstant::Exceptions::EKorlenInvalidArgument>;
  record.failure = [](const char* command, const char* what) {
    throw grendError(what, command, "");
  };
  record.usage =
      "    GREND_DASH_DIR_FOLDER the monitor folder (default: the working directory)\n"
      "    GREND_AAS_KEY_FILE    the id file (default aaS_GrendId.txt)\n";
  record.texts.collaborativeFromSolver = true;
  record.texts.collaborativeScope = "Grend Instant aaS";
  // The key also goes to the monitor folder, for the solver side.
  record.keyFiles = [](const StartContext& context) {
    const solvarium::Environment& environment = context.environment;
    std::vector<KeyFile> files{{kKeyFile}};
    const std::string folder = dashFolderOf(environment);
    if (!folder.empty()) files.push_back({inDashFolder(folder, kKeyFile)});
    const std::string id = environment.valueOr("GREND_AAS_KEY_FILE", "aaS_GrendId.txt");
    files.push_back({solvarium::instantTwinName(id), true});
    return files;
  };
  // A round of 5 s; a tick every minute; gone when no pid has come in 100
  // minutes.
  WatchRule& watch = record.watch;
  watch.source = WatchRule::PidSource::kHandedOver;
  watch.stepMs = 5 * 1000;
  watch.cycleSteps = 1200;
  watch.tickEverySteps = 12;
  watch.sightings = 2;
  watch.connect = solvarium::kindObjectLink<ICoGrendUnit>(
      [](ICoGrendUnit::_ptr_type unit, const char* command) {
        return unit->executeCommandToString(command);
      });
  // The monitor folder receives a copy of the key file: what interrupted
  // writes left there goes first.
  record.create = [](CORBA::ORB_ptr orb, const StartContext& context,
                     const solvarium::KindSettings*) {
    std::unique_ptr<solvarium::SolverKind> servant(new CGrendSolvarium(orb, context.environment));
    solvarium::removeStaleTemporaryFiles(inDashFolder(dashFolderOf(context.environment), "."));
    return servant;
  };
  return record;
}

}  // namespace

const solvarium::SolverKindRecord& grendKind() {
  static const solvarium::SolverKindRecord record = makeRecord();
  return record;
}

}  // namespace GREND
