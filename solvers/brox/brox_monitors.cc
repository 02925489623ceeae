#include "solvers/brox/brox_monitors.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <sstream>

#include "AAS_CORBA.hh"
#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "common/startup_error.h"
#include "platform/platform_names.h"
#include "platform/process.h"
#include "platform/temp_dir.h"
#include "solvers/brox/brox_monitor_commands.h"
#include "solvers/brox/brox_run_status.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {
namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;

// Bare program names, found on PATH.
const std::string monitorDataProgram = solvarium::platform::kMonitorDataProgram;
const std::string stopProgram = solvarium::platform::kStopProgram;

[[noreturn]] void raiseDirectoryQuestion(const std::string& prompt, const std::string& message) {
  throw Exc::EInstantReadUnquotedString(2, prompt.c_str(), "", "", message.c_str());
}

// Argument words of a mode text such as " -plotinfo " (split at blanks).
std::vector<std::string> modeWords(const std::string& modeOption) {
  std::vector<std::string> words;
  std::istringstream in(modeOption);
  std::string word;
  while (in >> word) words.push_back(word);
  return words;
}

}  // namespace

BroxMonitors::BroxMonitors(ReportPlotWill& will, const char* binDir) : will_(will) {
  using solvarium::StartupError;
  struct stat status;
  if (::stat(".", &status) != 0) {
    throw StartupError("Brox Solver Manager working directory does not exist",
                       "the working directory does not exist: start the service in the run's "
                       "folder");
  }
  if (!S_ISDIR(status.st_mode)) {
    throw StartupError("Brox Solver Manager working directory is not a folder",
                       "the working directory is not a folder: start the service in the run's "
                       "folder");
  }
  const char* binDirAdvice = "set BROXBINDIR to the Brox installation directory (it holds "
                             "linux-amd64/libQuennet.so)";
  if (binDir == nullptr) {
    throw StartupError("BROXBINDIR environment variable is not set",
                       std::string("BROXBINDIR is not set: ") + binDirAdvice);
  }
  binDir_ = binDir;
  if (binDir_.empty()) {
    throw StartupError("BROXBINDIR environment variable is empty",
                       std::string("BROXBINDIR is empty: ") + binDirAdvice);
  }
}

std::string BroxMonitors::diagnosticText(const std::string& lead) {
  std::string text = lead;
  for (const char* name : {"PATH", "LD_LIBRARY_PATH", "BROXBINDIR"}) {
    const char* value = std::getenv(name);
    text += std::string("\n") + name + ":\n";
    text += value != nullptr ? value : "Environment variable does not exist";
    text += "\n";
  }
  char cwd[PATH_MAX];
  if (::getcwd(cwd, sizeof cwd) != nullptr) {
    text += "\nCurrent Working Directory:\n";
    text += cwd;
    text += "\n";
  }
  return text;
}

std::string BroxMonitors::runMonitorData(const std::string& modeOption, const std::string& runPath,
                                         const std::string& runForm,
                                         const std::vector<std::string>& options,
                                         const std::string& optionsText) {
  solvarium::platform::TempDir tempDir;
  const std::string outFile = tempDir.ok() ? tempDir.file("brox_out_output") : "brox_out_";

  std::vector<std::string> argv{monitorDataProgram};
  for (const std::string& word : modeWords(modeOption)) argv.push_back(word);
  argv.push_back("-out");
  argv.push_back(outFile);
  // The command text only names the run in errors; the program gets argv.
  std::string commandLine = monitorDataProgram + modeOption + " -out " + outFile + " ";
  const std::string quote = runPath.find(' ') != std::string::npos ? "\"" : "";
  if (runForm == ".dir" || runForm == ".res") {
    const std::string flag = runForm == ".dir" ? "-dir" : "-res";
    argv.push_back(flag);
    argv.push_back(solvarium::platform::pathArgument(runPath));
    commandLine += " " + flag + " " + quote + runPath + quote + " ";
  }
  for (const std::string& option : options) argv.push_back(option);
  commandLine += optionsText;

  if (!tempDir.ok()) {
    raiseScriptError(commandLine, diagnosticText("Cannot retrieve program output") +
                                      "\nTemporary directory:\n" + tempDir.error() + "\n");
  }
  // Once started, success is judged by the output file alone.
  const solvarium::platform::ProgramResult run = solvarium::platform::runProgram(argv);
  if (!run.started) {
    solvarium::diagnostic("%s\n", run.error.c_str());
    raiseScriptError(commandLine, diagnosticText(run.error));
  }
  if (run.timedOut) {  // whatever it wrote may be cut short
    solvarium::diagnostic("%s\n", run.error.c_str());
    raiseScriptError(commandLine, diagnosticText("Cannot retrieve program output: " + run.error));
  }
  std::string output;
  std::string readError;
  if (!solvarium::readWholeFile(outFile, &output, &readError)) {
    solvarium::diagnostic("%s: %s\n", monitorDataProgram.c_str(), readError.c_str());
    raiseScriptError(commandLine, diagnosticText("Cannot retrieve program output"));
  }
  return output;  // tempDir removes the file and its directory
}

void BroxMonitors::terminateSolver(std::string& result, const Tokens& tokens,
                                   const std::string& commandText) {
  if (tokens.size() <= 1) {
    raiseDirectoryQuestion("Please provide the name of Brox directory", "");
  }
  if (tokens.size() > 2) {
    raiseScriptError(commandText, "command [" + commandText +
                                      "] does has only one parameter, the Brox solver directory.");
  }
  const std::string directory = removeEnclosingQuotes(tokens[1]);
  if (!isDirectory(directory)) {
    raiseDirectoryQuestion("Brox directory provided does not exist", tokens[1]);
  }
  const std::string commandLine = stopProgram + " -directory " + tokens[1];
  result += commandLine + "\n";
  const solvarium::platform::ProgramResult run =
      solvarium::platform::runProgram(
          {stopProgram, "-directory", solvarium::platform::pathArgument(directory)});
  if (!run.started) raiseScriptError(commandLine, diagnosticText("Cannot execute program"));
  if (run.exitCode != 0) {
    const std::string how =
        run.error.empty() ? "exit code " + std::to_string(run.exitCode) : run.error;
    raiseScriptError(commandLine, "Program " + stopProgram + " failed: " + how);
  }
  result +=
      "Terminate solver command issued. The command will be executed at the end of "
      "current iteration\n";
}

void BroxMonitors::terminateAllSolvers(std::string& result, const Tokens& tokens,
                                       const std::string& commandText) {
  if (tokens.size() > 1) {
    raiseScriptError(commandText, "command [" + commandText + "] has no parameters.");
  }
  BroxStatusHandle status;  // released on every way out
  loadBroxStatusOrRaise(&status, binDir_, commandText);

  std::string errors;
  for (const auto& entry : status.reader->results) {
    if (entry.second.completed) continue;
    const std::string& runPath = entry.first;
    result += "Terminating " + runPath + " ...\n";
    try {
      terminateSolver(result, Tokens{"aaS.terminate_solver", runPath},
                      "aaS.terminate_solver " + runPath);
      result += "Done!\n";
    } catch (...) {
      solvarium::diagnostic("Could not terminate %s: %s\n", runPath.c_str(),
                            currentFailureText().c_str());
      if (!errors.empty()) errors += "\n";  // one line per run
      errors += "Could not terminate " + runPath;
      result += "\n";
    }
  }
  if (!errors.empty()) raiseScriptError(commandText, errors, result);
}

}  // namespace BROX
