// Fuzz target: the UDF solver description reader with value resolution.
// Properties: reading ends (no crash, no hang), placeholder expansion gives
// exactly the expected text and fails exactly when it needs more than 64
// substitutions, and reading the same text twice gives the same record or the
// same fault.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_value_resolution.h"
#include "tests/fuzz/fuzz_check.h"

using solvarium_fuzz::check;

namespace {

// Substitutions one value may take; stated here, not taken from the reader.
const int kSubstitutionLimit = 64;

// The whole environment the inputs see: plain, empty, nested, self-referring
// and growing variables, and one that takes half the substitution bound.
const std::map<std::string, std::string>& variables() {
  static const std::map<std::string, std::string> values = [] {
    std::string half;  // 32 substitutions in all
    for (int i = 1; i < kSubstitutionLimit / 2; ++i) half += "{$UDF_FUZZ_A}";
    return std::map<std::string, std::string>{
        {"UDF_FUZZ_A", "alpha"},
        {"UDF_FUZZ_EMPTY", ""},
        {"UDF_FUZZ_NEST", "<{$UDF_FUZZ_A}>"},
        {"UDF_FUZZ_HALF", half},
        {"UDF_FUZZ_SELF", "{$UDF_FUZZ_SELF}"},
        {"UDF_FUZZ_GROW", "{$UDF_FUZZ_GROW}{$UDF_FUZZ_GROW}"},
        {"UDF_FUZZ_OPEN", "{$"},
    };
  }();
  return values;
}

// The expansion as a scan: text before the first "{" is final; a placeholder
// of a set, non-empty variable (its name as the C library sees it, up to a
// zero byte) is replaced by the value and the scan goes on from there;
// anything else ends it. False when more substitutions than the bound are
// needed.
bool expectedExpansion(const std::string& text, std::string* value) {
  value->clear();
  std::string rest = text;
  for (int substitutions = 0;; ++substitutions) {
    const std::size_t open = rest.find('{');
    const std::size_t close = rest.find('}', open);
    auto variable = variables().end();
    if (close != std::string::npos && rest.compare(open, 2, "{$") == 0) {
      variable = variables().find(rest.substr(open + 2, close - open - 2).c_str());
    }
    if (variable == variables().end() || variable->second.empty()) {
      *value += rest;
      return true;
    }
    if (substitutions == kSubstitutionLimit) return false;
    *value += rest.substr(0, open);
    rest = variable->second + rest.substr(close + 1);
  }
}

// The environment the service read at start-up.
const solvarium::Environment& environment() {
  static const solvarium::Environment values(variables());
  return values;
}

bool sameRecord(const AAS_UDF::CAasUdfXmlHandler& a, const AAS_UDF::CAasUdfXmlHandler& b) {
  return a.failed == b.failed && a.solverName == b.solverName &&
         a.solverDescription == b.solverDescription && a.accessType == b.accessType &&
         a.pythonHome == b.pythonHome && a.pythonDllFile == b.pythonDllFile &&
         a.pythonMainFile == b.pythonMainFile && a.solverPid == b.solverPid &&
         a.commandMacros == b.commandMacros && a.commandTypes == b.commandTypes &&
         a.commandInputs == b.commandInputs && a.commandOutputs == b.commandOutputs &&
         a.warnings == b.warnings;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Placeholder expansion of the whole input as one element text.
  std::string expected;
  const bool resolves = expectedExpansion(text, &expected);
  std::string value;
  AAS_UDF::UdfDescriptionFault fault;
  if (AAS_UDF::resolveStoredValue(text, "", environment(), &value, &fault)) {
    check(resolves, "expansion needs more substitutions than allowed", text);
    check(value == expected, "expansion differs", text + "\n----\n" + value);
  } else {
    check(!resolves, "expansion fails within its substitution bound", text);
    check(fault.message.find("do not resolve within") != std::string::npos,
          "expansion failed for another reason", fault.message);
  }

  // The whole reader, twice.
  AAS_UDF::CAasUdfXmlHandler first(environment());
  AAS_UDF::CAasUdfXmlHandler second(environment());
  AAS_UDF::UdfDescriptionFault firstFault;
  AAS_UDF::UdfDescriptionFault secondFault;
  const bool firstRead = AAS_UDF::readUdfDescription(text, &first, &firstFault);
  const bool secondRead = AAS_UDF::readUdfDescription(text, &second, &secondFault);
  check(firstRead == secondRead && sameRecord(first, second) &&
            firstFault.message == secondFault.message,
        "reading is not stable", text);
  check(firstRead || !firstFault.message.empty(), "a fault without a message", text);
  if (firstRead) {
    for (const auto& entry : first.commandMacros) {
      check(!entry.first.empty(), "a command without a name", text);
      check(first.commandTypes.at(entry.first) == "pythonMacro", "a command of another type",
            text);
      check(first.commandInputs.count(entry.first) == 1 &&
                first.commandOutputs.count(entry.first) == 1,
            "a command without input or output kind", text);
    }
  }
  return 0;
}
