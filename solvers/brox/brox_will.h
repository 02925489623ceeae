// The Brox report-plot will: the sessions, plots and variables that the
// composed commands ("aaS.retrieve_will_metadata",
// "aaS.save_report_plots_with_persisted_data") replay, as the report-plot
// commands amend it. Owned by the interpreter; plain data, no lock.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_

#include <map>
#include <string>
#include <vector>

#include "solvers/brox/brox_errors.h"

namespace BROX {

// The report-plot will: session name -> attribute words.
typedef std::map<std::string, std::vector<std::string>> Will;

// Appends the JSON answer of "aaS.retrieve_will": the session name and its
// attributes when the will holds exactly one session, else an empty object.
void writeWillJson(const Will& will, std::string& result);

class ReportPlotWill {
 public:
  const Will& sessions() const { return will_; }
  // "aaS.set implicit_will_amends": the listing commands amend the will.
  bool implicitAmends() const { return implicitAmends_; }
  void setImplicitAmends(bool on) { implicitAmends_ = on; }

  // Reads the session name, plot list and variable list of a report-plot
  // command's tokens; for "aaS.amend_report_plots_will" writes the amend
  // messages into `result`. A listing while implicit amends are off reads
  // nothing; a rejected command keeps the values read before.
  void parseArguments(std::string& result, const Tokens& tokens, const std::string& commandText);
  // Files the values last read as the will, once the command has succeeded.
  void file();
  // "aaS.retrieve_will": appends the will as JSON.
  void retrieve(std::string& result, const Tokens& tokens, const std::string& commandText) const;

 private:
  Will will_;
  bool implicitAmends_ = true;
  std::string plotList_, variableList_, sessionName_;  // the values last read
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_WILL_H_
