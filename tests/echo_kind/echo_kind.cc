#include "tests/echo_kind/echo_kind.h"

#include <memory>
#include <string>
#include <vector>

#include "KORLEN_AAS_v1_0_0.hh"
#include "platform/process.h"
#include "common/command_table.h"

namespace echo_kind {

namespace {

using solvarium::StartContext;

const char kEcho[] = "aaS.echo";

class EchoKind : public solvarium::SolverKind {
 public:
  explicit EchoKind(CORBA::ORB_ptr orb) : SolverKind(orb, echoKind()) {}

  char* interpret(const char* command) override {
    const std::string text = command;
    const std::size_t length = sizeof kEcho - 1;
    if (text == solvarium::kTickCommand) return CORBA::string_dup("");
    if (text.compare(0, length, kEcho) != 0 || (text.size() > length && text[length] != ' ')) {
      throw KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError(1, command, "Unknown echo command",
                                                               "");
    }
    return CORBA::string_dup(text.size() > length ? text.c_str() + length + 1 : "");
  }
};

solvarium::StartPid solverPid(const StartContext& context, const solvarium::KindSettings*) {
  solvarium::StartPid pid;
  const char* value = context.environment.get("ECHO_SOLVER_PID");
  if (value == nullptr || !solvarium::platform::parsePid(value, &pid.pid)) {
    pid.refusal = "ECHO_SOLVER_PID names no process\n";
  }
  return pid;
}

solvarium::SolverKindRecord makeRecord() {
  solvarium::SolverKindRecord record;
  record.solverOptions = {"echo"};
  record.serverName = "EchoSolvarium";
  record.texts.solverId = "test-echo";
  record.texts.accessType = "instant";
  record.texts.scriptingLanguageId = "echo_instant_aas";
  record.texts.ownerIorCommands = {"aaS_internal.get_echo_ior"};
  record.texts.collaborativeScope = "Echo";
  record.texts.fileSystemScope = "Echo";
  record.texts.solverFilesNotSupported = "Not in the echo kind";
  record.keyFiles = [](const StartContext&) {
    return std::vector<solvarium::KeyFile>{{"aaS_Echo.txt"}};
  };
  solvarium::WatchRule& watch = record.watch;
  watch.source = solvarium::WatchRule::PidSource::kAtStart;
  watch.pidAtStart = solverPid;
  watch.refusalFile = "echo_error.txt";
  watch.stepMs = 200;
  watch.shutdownThroughKind = false;
  record.create = [](CORBA::ORB_ptr orb, const StartContext&, const solvarium::KindSettings*) {
    return std::unique_ptr<solvarium::SolverKind>(new EchoKind(orb));
  };
  return record;
}

}  // namespace

const solvarium::SolverKindRecord& echoKind() {
  static const solvarium::SolverKindRecord record = makeRecord();
  return record;
}

}  // namespace echo_kind
