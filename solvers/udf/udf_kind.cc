#include "solvers/udf/udf_kind.h"

#include <memory>
#include <string>
#include <vector>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/diagnostics.h"
#include "common/startup_error.h"
#include "platform/process.h"
#include "solvers/generic_twins.h"
#include "solvers/instant_kind.h"
#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_unit.h"

namespace AAS_UDF {

namespace {

using solvarium::KindSettings;
using solvarium::StartContext;
using solvarium::WatchRule;

// The description that readSettings read; null when there is none.
const CAasUdfXmlHandler* descriptionOf(const KindSettings* settings) {
  return dynamic_cast<const CAasUdfXmlHandler*>(settings);
}

// The stderr line of a solverPid that is no process id: a placeholder left
// unreplaced names an unset variable.
void reportInvalidPid(const std::string& text, const std::string& configFile) {
  const std::string::size_type open = text.find("{$");
  const std::string::size_type close = text.find('}', open);
  if (open != std::string::npos && close != std::string::npos) {
    const std::string name = text.substr(open + 2, close - open - 2);
    solvarium::diagnostic(
        "Start-up failed: the solverPid of '%s' is '%s': set %s to the solver's "
        "process id\n",
        configFile.c_str(), text.c_str(), name.c_str());
    return;
  }
  solvarium::diagnostic(
      "Start-up failed: the solverPid of '%s' is '%s', no process id: make <solverPid> "
      "there (or what it names) give the solver's process id\n",
      configFile.c_str(), text.c_str());
}

// The description's "solverPid": a process id, else a refusal.
solvarium::StartPid solverPid(const StartContext& context, const KindSettings* settings) {
  solvarium::StartPid pid;
  const CAasUdfXmlHandler* description = descriptionOf(settings);
  const std::string text = description != nullptr ? description->solverPid : std::string();
  if (!solvarium::platform::parsePid(text, &pid.pid)) {
    pid.refusal =
        "the pid provided through the configuration file environment variable is invalid (" +
        text + ")\n";
    reportInvalidPid(text, udfConfigFileName(context.argc, context.argv));
  }
  return pid;
}

std::string orNull(const char* text, const char* absent) {
  return text != nullptr ? std::string(text) : std::string(absent);
}

// The start-up failure of Python (see python_bridge.h).
solvarium::StartupError pythonFailure(const KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError& e) {
  std::string cause = solvarium::firstTextLine(orNull(e.errorInfo, ""));
  const std::string detail = solvarium::firstTextLine(orNull(e.commandOutput, ""));
  if (!detail.empty()) cause += " (" + detail + ")";
  return solvarium::StartupError(
      "\nError executing <" + orNull(e.command, "NULL") + ">\n" + "\nError info:\n " +
          orNull(e.errorInfo, "<NULL>") + "\n" + "\nCommand output:\n " +
          orNull(e.commandOutput, "<NULL>"),
      "Python did not start: " + cause +
          ": fix pythonHome, pythonDllFile or pythonMainFile in the UDF description, or the "
          "main file");
}

solvarium::SolverKindRecord makeRecord() {
  solvarium::SolverKindRecord record =
      solvarium::instantKindRecord("3p_aas", "Solvarium", "", "aas_udf_instant_aas");
  record.texts.unitNotSupported = "Method is not supported in current aaS UDF version.";
  record.texts.statusFromCommand = true;
  record.twins = solvarium::twin::rethrowBroxInstantTwin;
  record.usage =
      "    -aas-config-file <file>  the solver description (default aas_udf_instant.xml)\n"
      "    -aas-key-file <file>     the file that receives the key (default aaSUdf_Id.txt)\n"
      "    the variables that the description's {$NAME} placeholders name\n";
  record.keyFiles = [](const StartContext& context) {
    return std::vector<solvarium::KeyFile>{{udfKeyFileName(context.argc, context.argv)}};
  };
  WatchRule& watch = record.watch;
  watch.source = WatchRule::PidSource::kAtStart;
  watch.pidAtStart = solverPid;
  watch.refusalFile = "aas_udf_instant_aas_error.txt";
  watch.stepMs = 1000;
  watch.tickDelayMs = 59 * 1000;
  watch.shutdownThroughKind = false;
  record.readSettings = [](const StartContext& context) {
    return std::unique_ptr<KindSettings>(loadUdfDescription(context));
  };
  record.create = [](CORBA::ORB_ptr orb, const StartContext&, const KindSettings* settings) {
    const CAasUdfXmlHandler* description = descriptionOf(settings);
    if (description == nullptr) {
      throw solvarium::StartupError("Error: the UDF solver description is missing");
    }
    try {
      return std::unique_ptr<solvarium::SolverKind>(new UdfSolverUnit(orb, *description));
    } catch (const KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError& e) {
      throw pythonFailure(e);
    }
  };
  return record;
}

}  // namespace

const solvarium::SolverKindRecord& udfKind() {
  static const solvarium::SolverKindRecord record = makeRecord();
  return record;
}

}  // namespace AAS_UDF
