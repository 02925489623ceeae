#include "solvers/udf/udf_value_resolution.h"

#include "common/diagnostics.h"
#include "common/safe_file.h"

namespace AAS_UDF {

namespace {

bool expandPlaceholders(const std::string& original, const solvarium::Environment& environment,
                        std::string* value, UdfDescriptionFault* fault) {
  std::string text = original;
  for (int substitutions = 0;; ++substitutions) {
    const std::string::size_type open = text.find('{');
    if (open == std::string::npos || text.size() - open < 4 || text[open + 1] != '$') break;
    const std::string::size_type close = text.find('}', open);
    if (close == std::string::npos) break;
    const std::string name = text.substr(open + 2, close - open - 2);
    const char* variable = environment.get(name.c_str());
    if (variable == nullptr || *variable == '\0') break;
    if (substitutions == kMaxSubstitutions) {
      fault->message = "Error! Placeholders in " + original + " do not resolve within " +
                       std::to_string(kMaxSubstitutions) + " substitutions\n";
      fault->printed = true;
      fault->toUdfErrorFile = false;
      return false;
    }
    text = text.substr(0, open) + variable + text.substr(close + 1);
  }
  *value = text;
  return true;
}

bool fail(UdfDescriptionFault* fault, const std::string& message, bool toUdfErrorFile) {
  fault->message = message;
  fault->printed = true;
  fault->toUdfErrorFile = toUdfErrorFile;
  return false;
}

}  // namespace

bool resolveStoredValue(const std::string& text, const std::string& storage,
                        const solvarium::Environment& environment, std::string* value,
                        UdfDescriptionFault* fault) {
  if (storage.empty()) return expandPlaceholders(text, environment, value, fault);
  if (storage == "explicit") {
    *value = text;
    return true;
  }
  if (storage == "environment_variable") {
    const char* variable = environment.get(text.c_str());
    if (variable == nullptr) {
      return fail(fault, "Error! Could not access " + text + " environment variable\n", false);
    }
    *value = variable;
    return true;
  }
  if (storage == "filename") {
    std::string content;
    std::string error;
    if (!solvarium::readWholeFile(text, &content, &error)) {
      solvarium::diagnostic("%s\n", error.c_str());
      return fail(fault, "Error! Could not open " + text + "\n", false);
    }
    const std::string::size_type zero = content.find('\0');
    if (zero != std::string::npos) content.resize(zero);
    *value = content;
    return true;
  }
  return fail(fault,
              "Error! Unknown storage (" + storage +
                  ")\n. Expected (explicit), (environment_variable) or (filename).",
              true);
}

}  // namespace AAS_UDF
