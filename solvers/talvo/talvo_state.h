// TalvoState: everything the Talvo kind knows about its run, decoded from the
// solver's broadcasts and set by the "aaS." commands: the pending question,
// the error list, the settings texts, parameters, solver variables, residual
// history and the monitor filter. A plain structure: the dispatcher, the
// command interpreter and the JSON writers are functions over it.
//
// Owned by the Talvo servant; used one request at a time, no lock.
#ifndef SOLVARIUM_SOLVERS_TALVO_TALVO_STATE_H_
#define SOLVARIUM_SOLVERS_TALVO_TALVO_STATE_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace TALVO {

// Persisted-data options of the monitor listings, and the run's iteration
// as the last persisted listing captured it.
struct MonitorFilter {
  std::string iterationText = "0";
  bool flowTimeFilter = false;
  double startFlowTime = 0.0;
  bool iterationFilter = false;
  int32_t startIteration = 0;
  bool timeStepFilter = false;
  int32_t startTimeStep = 0;

  // Clears the three filters and their start values.
  void reset();
};

struct TalvoState {
  // Empties the error list and the whole pending question.
  void resetExceptions();
  // Stores the menu; a menu holding "exit " while no error is held clears
  // the whole pending question.
  void setQuestionMenu(const std::string& menu);
  // Names of `visitedFlags` that are on, in key order, each + "\n".
  std::string visitedText() const;

  std::vector<std::string> errorMessages;  // oldest first
  std::string questionType;
  std::string questionPrompt;
  std::string questionDefaultAnswer;
  std::string questionMenu;
  std::string questionHelp;
  std::string questionMsg;
  bool questionYesNo = false;

  std::string monitorSetSettings;        // report-file settings text
  std::string plotSetSettings;           // report-plot settings text
  std::string reportDefinitionSettings;  // report-definition settings text

  bool aasListenerVisited = true;
  std::map<std::string, bool> visitedFlags;
  std::map<std::string, bool> inputParameters;   // true while the parameter exists
  std::map<std::string, bool> outputParameters;
  std::string collaborativeSolverUnitIor;

  std::string monitorIntegerFormat = "%25d";
  std::string monitorDoubleFormat = "%25.17le";

  std::map<int32_t, std::string> surfaceNames;
  std::map<int32_t, std::string> zoneNames;
  std::map<std::string, std::string> rpVariables;  // solver variables, value as text
  std::vector<std::string> residualNames;          // in the solver's order
  int32_t currentIteration = 0;
  std::string pausedIndex;
  // Residual values per name; the iteration numbers under "iteration".
  std::map<std::string, std::vector<double>> residualHistory;

  MonitorFilter monitorFilter;
  int32_t minuteCounter = 0;
  int32_t autoSavePeriod = 60;  // minutes

  std::string release;
  std::string dimensionality;
  std::string precision;
};

}  // namespace TALVO

#endif  // SOLVARIUM_SOLVERS_TALVO_TALVO_STATE_H_
