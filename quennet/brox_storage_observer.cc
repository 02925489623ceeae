#include "quennet/brox_storage_observer.h"

namespace BROX {

void CBroxStorageObserver::configurationFound(const xoq::GuiInformationReader&, int32_t number,
                                              const xoq::ConfigurationDescription& configuration) {
  record_.configurations[configuration.name] = number;
}

void CBroxStorageObserver::runDescribed(const xoq::GuiInformationReader&,
                                        const xoq::RunDescription& run) {
  record_.name = run.name;
  record_.multiConfig = (run.multiConfig == "True");
}

void CBroxStorageObserver::runEnded(const xoq::GuiInformationReader&, const std::string& reason) {
  record_.completed = true;
  record_.exitReason = reason;
}

}  // namespace BROX
