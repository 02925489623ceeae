// The Brox monitoring object: runs the Brox solver's own programs (the
// monitor-data program and the stop program) for the listing and
// termination commands built on them.
//
// Owned by the Brox interpreter, whose report-plot will it amends (a
// reference, never owned). An operation runs on the thread of the command
// that asks for it: a request thread, the watcher's thread for the minute
// tick's save, the main thread for the final save; always under SerialCall,
// one at a time, so nothing here takes a lock. It blocks that thread while an
// outside program runs. Programs are started with an argument vector, never
// through a shell.
//
// The listings live one per file: brox_report_plots.cc,
// brox_variable_names.cc and brox_monitor_commands.cc; the program runs and
// the termination commands in brox_monitors.cc.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "quennet/brox_status.h"
#include "solvers/brox/brox_errors.h"
#include "solvers/brox/brox_will.h"

namespace BROX {

class BroxMonitors {
 public:
  // Checks that "." is a readable folder and that `binDir` (BROXBINDIR as
  // read at start-up, null when unset) is set and not empty; throws the
  // failure as a solvarium::StartupError. `will` must outlive this.
  BroxMonitors(ReportPlotWill& will, const char* binDir);
  BroxMonitors(const BroxMonitors&) = delete;
  BroxMonitors& operator=(const BroxMonitors&) = delete;

  // BROXBINDIR as read at start-up: where the run-status library is found.
  const std::string& binDir() const { return binDir_; }

  // Report plots and will amendment: "aaS.list_report_plots",
  // "aaS.list_saved_report_plots", the two "_with_persisted_data" forms and
  // "aaS.amend_report_plots_will". Replaces `result` with the answer.
  void listReportPlots(std::string& result, const Tokens& tokens,
                       const std::string& commandText);

  // "aaS.list_all_variable_names", "aaS.list_active_variable_names",
  // "aaS.list_saved_variable_names" [session-name <name>]. Replaces `result`.
  void listVariableNames(std::string& result, const Tokens& tokens,
                         const std::string& commandText);

  // "aaS.terminate_solver <run directory>": runs the stop program for the
  // run (a directory that begins with "-" passed as "./" + directory) and
  // appends the command line and the confirmation to `result`.
  void terminateSolver(std::string& result, const Tokens& tokens,
                       const std::string& commandText);

  // "aaS.terminate": terminates every run whose status is not completed;
  // goes on after a failing run and raises the collected errors at the end.
  void terminateAllSolvers(std::string& result, const Tokens& tokens,
                           const std::string& commandText);

  // One run of the monitor-data program for one solver run; returns the
  // program's output (possibly empty).
  //   modeOption: the mode text, e.g. " -plotinfo " or " " (split at blanks
  //               into argument words; may yield none).
  //   runPath:    the run's path, passed as one argument ("./" put before
  //               a path that begins with "-"; the command text shows it
  //               as given).
  //   runForm:    ".dir" passes "-dir <path>", ".res" "-res <path>", any
  //               other form passes no path.
  //   options:    further argument words after the path, each passed as
  //               one argument exactly as given (no quote removal here).
  //   optionsText: the options as the command text shows them, appended
  //               to it after the path.
  // The output goes to a file in a fresh private temporary directory, both
  // removed on every path. Raises EInstantScriptError "Cannot retrieve
  // program output" (with diagnostics) when no output file was written, and
  // when the temporary directory cannot be made; followed by ": '<program>'
  // stopped after 60 s" when the program ran into its time limit.
  std::string runMonitorData(const std::string& modeOption,
                             const std::string& runPath,
                             const std::string& runForm,
                             const std::vector<std::string>& options =
                                 std::vector<std::string>(),
                             const std::string& optionsText = std::string());

  // `lead` followed by PATH, LD_LIBRARY_PATH, BROXBINDIR and the current
  // directory, the way the program-start errors report them: the live
  // environment, the one a program started now sees.
  static std::string diagnosticText(const std::string& lead);

  // "aaS.list_monitors_with_persisted_data" and the saved form: the JSON
  // array written once into a fresh CORBA string, which the caller frees.
  char* persistedDataAnswer(const Tokens& tokens, const std::string& commandText);
  // The same appended to `result`, with the run status already read
  // (`results`, for the multi-configuration members). `dataOnly` leaves out
  // the per-monitor header fields.
  void appendPersistedData(std::string& result, const Tokens& tokens,
                           const std::string& commandText, bool dataOnly,
                           const BroxStatusReader::ResultMap& results);

  // "aaS.list_monitors_last_values" and the saved form; appends a JSON array
  // of the first data line of every monitor.
  void listMonitorsLastValues(std::string& result, const Tokens& tokens,
                              const std::string& commandText);

  // "aaS.list_monitors" and the saved form; replaces `result` with a JSON
  // array of the variable names of every monitor.
  void listMonitors(std::string& result, const Tokens& tokens,
                    const std::string& commandText);

 private:
  // The work of the persisted-data listings: runs the program for every
  // source, parses every output (raising the first format error in path
  // order), then calls allocate(size) once for `size` bytes and writes the
  // answer there.
  void writePersistedData(const Tokens& tokens, const std::string& commandText, bool dataOnly,
                          const BroxStatusReader::ResultMap& results,
                          const std::function<char*(std::size_t)>& allocate);

  ReportPlotWill& will_;  // not owned
  std::string binDir_;
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_
