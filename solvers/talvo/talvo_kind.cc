#include "solvers/talvo/talvo_kind.h"

#include <memory>
#include <string>
#include <vector>

#include "platform/process.h"
#include "solvers/generic_twins.h"
#include "solvers/instant_kind.h"
#include "solvers/talvo/talvo_errors.h"
#include "solvers/talvo/talvo_servant.h"

namespace TALVO {

namespace {

using solvarium::KeyFile;
using solvarium::StartContext;
using solvarium::WatchRule;

// KORLEN_PELLIX_PID: unset, nothing is watched; a text that no process id
// leads is a process that is never alive.
solvarium::StartPid solverPid(const StartContext& context, const solvarium::KindSettings*) {
  solvarium::StartPid pid;
  const char* value = context.environment.get("KORLEN_PELLIX_PID");
  pid.watched = value != nullptr;
  if (value != nullptr) solvarium::platform::parsePid(value, &pid.pid);
  return pid;
}

solvarium::SolverKindRecord makeRecord() {
  using AAS_CORBA::Talvo::ITalvoExceptionHolder;
  solvarium::SolverKindRecord record =
      solvarium::instantKindRecord("talvo", "TalvoSolvarium", "korlen-talvo", "talvo_instant_aas");
  record.needsSessionManager = true;
  record.twins = solvarium::twin::rethrowQuestionTwins<
      AAS_CORBA::EInstantYesNoQuestion, AAS_CORBA::EInstantReadUnquotedString,
      AAS_CORBA::EInstantReadQGenericQuestion, AAS_CORBA::EInstantMenuGetQuestion,
      AAS_CORBA::EInstantTalvoGenericError>;
  record.failure = [](const char* command, const char* what) { raiseTalvoError(command, what); };
  record.usage =
      "    KORLEN_PELLIX_PID     the solver's process id, watched (unset: not watched)\n"
      "    TALVO_AAS_KEY_FILE    the id file (default aaS_TalvoId.txt)\n";
  record.texts.collaborativeFromSolver = true;
  record.texts.collaborativeScope = "Talvo Instant aaS";
  record.failureText = []() -> std::string {
    try {
      throw;
    } catch (const AAS_CORBA::EInstantTalvoGenericError& e) {
      return e.errorInfo.in();
    }
  };
  record.keyFiles = [](const StartContext& context) {
    const std::string id = context.environment.valueOr("TALVO_AAS_KEY_FILE", "aaS_TalvoId.txt");
    return std::vector<KeyFile>{
        {"aaS_TalvoSolvarium.txt"},
        {solvarium::instantTwinName(id), true, "Instant ICoSolverUnit Talvo key"}};
  };
  WatchRule& watch = record.watch;
  watch.source = WatchRule::PidSource::kAtStart;
  watch.pidAtStart = solverPid;
  watch.stepMs = 60 * 1000;
  watch.connect = solvarium::kindObjectLink<ITalvoExceptionHolder>(
      [](ITalvoExceptionHolder::_ptr_type holder, const char* command) {
        return holder->doInstantCommandToString(command);
      });
  record.create = [](CORBA::ORB_ptr orb, const StartContext&, const solvarium::KindSettings*) {
    return std::unique_ptr<solvarium::SolverKind>(new CTalvoSolvarium(orb));
  };
  return record;
}

}  // namespace

const solvarium::SolverKindRecord& talvoKind() {
  static const solvarium::SolverKindRecord record = makeRecord();
  return record;
}

}  // namespace TALVO
