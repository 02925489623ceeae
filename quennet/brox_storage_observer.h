// Collects the state of one Brox run, as its run information reports it,
// into a StatusRecord it holds. One observer per run read, in one thread.
#ifndef SOLVARIUM_QUENNET_BROX_STORAGE_OBSERVER_H_
#define SOLVARIUM_QUENNET_BROX_STORAGE_OBSERVER_H_

#include <utility>

#include "quennet/brox_status.h"
#include "quennet/xoq/gui_information_observer.h"

namespace BROX {

class CBroxStorageObserver : public xoq::GuiInformationObserver {
 public:
  void configurationFound(const xoq::GuiInformationReader& source, int32_t number,
                          const xoq::ConfigurationDescription& configuration) override;
  void runDescribed(const xoq::GuiInformationReader& source,
                    const xoq::RunDescription& run) override;
  void runEnded(const xoq::GuiInformationReader& source, const std::string& reason) override;
  // Progress values and free messages leave the record as it is.
  void progressReported(const xoq::GuiInformationReader&, const std::string&,
                        const std::string&) override {}
  void messageReported(const xoq::GuiInformationReader&, const std::string&) override {}

  // The state collected so far.
  const StatusRecord& record() const { return record_; }
  // Hands the collected state over and starts a new, empty record.
  StatusRecord takeRecord() {
    StatusRecord taken = std::move(record_);
    record_ = StatusRecord();
    return taken;
  }

 private:
  StatusRecord record_;
};

}  // namespace BROX

#endif  // SOLVARIUM_QUENNET_BROX_STORAGE_OBSERVER_H_
