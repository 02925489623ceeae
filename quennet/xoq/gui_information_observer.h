// Receiver of the notifications that a GuiInformationReader sends while it
// reads a run's information. The first argument of every notification is the
// reader that sends it.
#ifndef SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_OBSERVER_H_
#define SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_OBSERVER_H_

#include <cstdint>
#include <string>

namespace xoq {

class GuiInformationReader;

// One configuration of a run.
struct ConfigurationDescription {
  std::string name;
};

// The run as a whole: its name and its multi-configuration flag text
// ("True" or "False", as the run information spells it).
struct RunDescription {
  std::string name;
  std::string multiConfig;
};

class GuiInformationObserver {
 public:
  virtual ~GuiInformationObserver() = default;

  // A configuration of the run with its number.
  virtual void configurationFound(const GuiInformationReader& source, int32_t number,
                                  const ConfigurationDescription& configuration) = 0;
  // The run's name and multi-configuration flag.
  virtual void runDescribed(const GuiInformationReader& source, const RunDescription& run) = 0;
  // A progress value of the run (quantity, value text).
  virtual void progressReported(const GuiInformationReader& source, const std::string& quantity,
                                const std::string& value) = 0;
  // The run has ended, with its reason.
  virtual void runEnded(const GuiInformationReader& source, const std::string& reason) = 0;
  // A free message of the solver.
  virtual void messageReported(const GuiInformationReader& source, const std::string& text) = 0;
};

}  // namespace xoq

#endif  // SOLVARIUM_QUENNET_XOQ_GUI_INFORMATION_OBSERVER_H_
