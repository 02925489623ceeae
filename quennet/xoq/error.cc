#include "quennet/xoq/error.h"

namespace xoq {

std::string TranslationManager::initialize() {
  // The stand-in carries its messages in English only; nothing to load.
  return "en";
}

}  // namespace xoq
