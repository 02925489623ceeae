// Fuzz target: the UDF solver description reader with value resolution.
// Properties: reading ends (no crash, no hang), placeholder expansion stays
// within its substitution bound, and reading the same text twice gives the
// same record or the same fault.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_value_resolution.h"

namespace {

// Variables the inputs can name: plain, empty, nested, self-referring and
// growing ones. The longest value bounds what one substitution adds.
const char* const kVariables[][2] = {
    {"UDF_FUZZ_A", "alpha"},
    {"UDF_FUZZ_EMPTY", ""},
    {"UDF_FUZZ_NEST", "<{$UDF_FUZZ_A}>"},
    {"UDF_FUZZ_SELF", "{$UDF_FUZZ_SELF}"},
    {"UDF_FUZZ_GROW", "{$UDF_FUZZ_GROW}{$UDF_FUZZ_GROW}"},
    {"UDF_FUZZ_OPEN", "{$"},
};
std::size_t longestValue = 0;

void check(bool holds, const char* what, const std::string& detail) {
  if (holds) return;
  std::fprintf(stderr, "PROPERTY FAILED: %s\n%s\n", what, detail.c_str());
  std::abort();
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

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  for (const auto& variable : kVariables) {
    setenv(variable[0], variable[1], 1);
    longestValue = std::max(longestValue, std::string(variable[1]).size());
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  // Placeholder expansion of the whole input as one element text.
  std::string value;
  AAS_UDF::UdfDescriptionFault fault;
  if (AAS_UDF::resolveStoredValue(text, "", &value, &fault)) {
    check(value.size() <= text.size() + AAS_UDF::kMaxSubstitutions * longestValue,
          "expansion exceeds its substitution bound", text);
    std::string again;
    AAS_UDF::UdfDescriptionFault secondFault;
    check(AAS_UDF::resolveStoredValue(text, "", &again, &secondFault) && again == value,
          "expansion is not stable", text);
  } else {
    check(fault.message.find("do not resolve within") != std::string::npos,
          "expansion failed for another reason", fault.message);
  }

  // The whole reader, twice.
  AAS_UDF::CAasUdfXmlHandler first;
  AAS_UDF::CAasUdfXmlHandler second;
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
