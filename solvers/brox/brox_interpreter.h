// BROX::BroxInterpreter: the Brox "aaS." command interpreter. One ordered
// table of commands and handlers answers every command, "aaS.suggest" and
// "aaS.implements." included. It owns the report-plot will, the monitoring
// object that reaches the Brox programs (BroxMonitors), the minute tick and
// the auto-save period.
//
// Owned by the Brox servant, which hands it each command under SerialCall:
// one command at a time, so it takes no lock. Raises the BROXInstant
// exceptions. The text helpers of the run listings below need no interpreter.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include "quennet/brox_status.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_will.h"

namespace BROX {

class BroxInterpreter {
 public:
  // What the interpreter asks of the servant around it.
  struct Hooks {
    std::function<void()> beforeCommand;          // run first by every command, composed ones too
    std::function<std::string()> stateFlagsText;  // the answer of "aaS.get_status"
  };

  // Creates the monitoring object with `binDir` (BROXBINDIR, null when
  // unset): throws its StartupError (working directory unusable, BROXBINDIR
  // missing or empty).
  BroxInterpreter(Hooks hooks, const char* binDir);
  BroxInterpreter(const BroxInterpreter&) = delete;
  BroxInterpreter& operator=(const BroxInterpreter&) = delete;

  // Answers one command text: a fresh string the caller frees. A failure of
  // our own code (allocation, library) passes on: SolverKind::run() turns it
  // into a script error.
  char* run(const char* command);

  // The names that "aaS.suggest" lists, in byte order.
  static const std::set<std::string>& commandNames();

 private:
  struct Call {
    const std::string& command;  // as received
    const Tokens& tokens;
  };
  // A monitoring-object operation, or a storage listing, that answers a
  // command into its first argument.
  using Operation = void (BroxMonitors::*)(std::string&, const Tokens&, const std::string&);
  using Listing = void (*)(std::string&, const Tokens&, const std::string&);
  struct Command;
  static const Command kCommands[];

  // Handlers of the table (brox_interpreter.cc, brox_interpreter_will.cc).
  char* storageStatus(const Call& call);
  char* persistedData(const Call& call);
  template <Operation kOperation>
  std::string monitorAnswer(const Call& call);
  template <Listing kListing>
  std::string listingAnswer(const Call& call);  // without each line's leading "./"
  template <bool kActiveOnly>
  std::string runList(const Call& call);
  std::string getenvCommand(const Call& call);
  std::string statusCommand(const Call& call);
  std::string setCommand(const Call& call);
  std::string getCommand(const Call& call);
  std::string retrieveWillCommand(const Call& call);
  std::string reportPlotCommand(const Call& call);
  std::string tickCommand(const Call& call);
  std::string autoSavePeriodCommand(const Call& call);
  std::string retrieveWillMetadataCommand(const Call& call);
  std::string saveReportPlotsCommand(const Call& call);
  // The answer that saveReportPlotsCommand writes: the will's replays.
  std::string reportPlotsDocument(const std::string& command);
  std::string suggestCommand(const Call& call);
  std::string implementsCommand(const Call& call);

  // Runs a composed command through this interpreter; answers its inner text.
  std::string composedInnerText(const std::string& command);

  Hooks hooks_;
  ReportPlotWill will_;
  BroxMonitors monitors_;          // reads will_
  int32_t tickMinutes_ = 0;        // minutes counted by the minute tick
  int32_t autoSavePeriodMinutes_ = 1;
};

// Removes "./" at the start of each line of a listing, once per line; a
// "./" inside a name, or the "./" of "../", stays.
std::string stripLeadingDotSlash(const std::string& listing);

// "aaS.list_all_brox_storages": one line per run key (single configuration)
// or per run key + "/" + configuration (multi-configuration, only runs
// named `session` when `session` is not null). Keys unchanged.
std::string runListText(const BroxStatusReader::ResultMap& results,
                        const std::string* session);

// "aaS.list_all_active_brox_storages": the keys of the runs not completed,
// configurations expanded as above, no session filter.
std::string activeRunListText(const BroxStatusReader::ResultMap& results);

// The elements of a JSON array answer: the text after its first "[" and
// before its last "]"; empty when that text holds no "{".
std::string innerArrayText(const std::string& answer);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_
