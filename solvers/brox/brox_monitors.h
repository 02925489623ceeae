// The Brox monitoring object: reaches the Brox solver's own programs (the
// monitor-data program and the stop program), holds the report-plot will and
// answers the listing and termination commands built on them.
//
// Owned by the Brox interpreter, whose will it reads (a reference, never
// owned). Every operation runs in the ORB's request thread and blocks it
// while an outside program runs; nothing here takes a lock. Programs are
// started with an argument vector, never through a shell.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "quennet/brox_status.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

class BroxMonitors {
 public:
  // The interpreter's split of a command: token 0 is the command name, then
  // the arguments (a double-quoted argument keeps its quotes).
  typedef std::vector<std::string> Tokens;

  // Checks that "." is a readable folder and that `binDir` (BROXBINDIR as
  // read at start-up, null when unset) is set and not empty; throws the
  // failure as a solvarium::StartupError. `will` is the report-plot will that
  // "aaS.retrieve_will" answers; it must outlive this.
  BroxMonitors(const Will& will, const char* binDir);
  ~BroxMonitors();
  BroxMonitors(const BroxMonitors&) = delete;
  BroxMonitors& operator=(const BroxMonitors&) = delete;

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
  // when the temporary directory cannot be made.
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

  // ---------------------------------------------------------------------
  // Storage, file, will and monitor commands
  // (folder and file listings, path tests, will retrieval, argument parser
  // of the report-plot commands, monitor listings)
  // ---------------------------------------------------------------------

  // Path tests.
  static bool isFile(const std::string& path);
  static bool isDirectory(const std::string& path);
  static bool endsWith(const std::string& text, const std::string& suffix);

  // Appends "<folder>/<name>\n" for matching folders / files, descending
  // `depth` levels. Raises EInstantScriptError when `folder` itself cannot
  // be opened; sub-folders that cannot be opened are passed over.
  void list_folders(std::string& result, const std::string& folder,
                    const std::string& suffix, int depth);
  void list_files(std::string& result, const std::string& folder,
                  const std::string& suffix, int depth);

  // The runs of the working directory and one level below: every ".dir"
  // folder, or for `saved` every ".res" file, in listing order.
  std::vector<std::string> runPaths(bool saved);

  // Amends the report-plot will (willSessionName, willPlotList,
  // willVariableList) from the report-plot command's tokens; for
  // "aaS.amend_report_plots_will" writes the amend messages into `result`.
  void parseReportPlotArguments(std::string& result, const Tokens& tokens,
                                const std::string& commandText);

  // "aaS.list_monitors_with_persisted_data" and the saved form; appends a
  // JSON array. `dataOnly` leaves out the per-monitor header fields.
  void listMonitorsWithPersistedData(std::string& result, const Tokens& tokens,
                                     const std::string& commandText,
                                     bool dataOnly);
  // The same with the run status already read (`results`, for the
  // multi-configuration members).
  void appendPersistedData(std::string& result, const Tokens& tokens,
                           const std::string& commandText, bool dataOnly,
                           const BroxStatusReader::ResultMap& results);
  // The interpreter's form of listMonitorsWithPersistedData: the answer
  // written once into a fresh CORBA string, which the caller frees.
  char* persistedDataAnswer(const Tokens& tokens, const std::string& commandText);
  // The work of the three above: runs the program for every source, parses
  // every output (raising the first format error in path order), then calls
  // allocate(size) once for `size` bytes and writes the answer there.
  void writePersistedData(const Tokens& tokens, const std::string& commandText, bool dataOnly,
                          const BroxStatusReader::ResultMap& results,
                          const std::function<char*(std::size_t)>& allocate);

  // "aaS.list_brox_directories" / "aaS.list_brox_res_files"
  // [mdef-session <session>], "aaS.list_brox_def_files",
  // "aaS.list_brox_out_files": append the listing to `result`.
  void listDirectories(std::string& result, const Tokens& tokens,
                       const std::string& commandText);
  void listResFiles(std::string& result, const Tokens& tokens,
                    const std::string& commandText);
  void listDefFiles(std::string& result, const Tokens& tokens,
                    const std::string& commandText);
  void listOutFiles(std::string& result, const Tokens& tokens,
                    const std::string& commandText);

  // "aaS.retrieve_will": appends the will as JSON.
  void retrieveWill(std::string& result, const Tokens& tokens,
                    const std::string& commandText);

  // "aaS.list_monitors_last_values" and the saved form; appends a JSON array
  // of the first data line of every monitor.
  void listMonitorsLastValues(std::string& result, const Tokens& tokens,
                              const std::string& commandText);

  // "aaS.list_monitors" and the saved form; replaces `result` with a JSON
  // array of the variable names of every monitor.
  void listMonitors(std::string& result, const Tokens& tokens,
                    const std::string& commandText);

  // --- end of storage, file, will and monitor commands ---

  // Fields, in declaration order. The interpreter reads and switches
  // implicitWillAmends and files the will fields after a listing.
  const Will& will;                // not owned
  std::string binDir;              // BROXBINDIR as read at start-up
  std::string monitorDataProgram;  // bare program names, found on PATH
  std::string controlProgram;      // kept; nothing runs it
  std::string stopProgram;
  bool implicitWillAmends;         // listing commands amend the will
  std::string willPlotList;        // last "plot-list" value parsed
  std::string willVariableList;    // last "variable-list" value parsed
  std::string willSessionName;     // last "session-name" value parsed
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_MONITORS_H_
