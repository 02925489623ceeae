// Fuzz target: the UDF solver description reader with value resolution.
// Properties: reading ends (no crash, no hang), placeholder expansion gives
// exactly the expected text and fails exactly when it needs more than 64
// substitutions, and reading the same text twice gives the same record or the
// same fault. Over a description written by the rule below from the fuzz
// bytes, the record holds what was written: every solver value resolved by
// its format, and each named command with its macro, input and output kinds,
// a warning for each nameless one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_value_resolution.h"
#include "tests/fuzz/content_check.h"
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
         a.accessType == b.accessType &&
         a.pythonHome == b.pythonHome && a.pythonDllFile == b.pythonDllFile &&
         a.pythonMainFile == b.pythonMainFile && a.solverPid == b.solverPid &&
         a.commandMacros == b.commandMacros &&
         a.commandInputs == b.commandInputs && a.commandOutputs == b.commandOutputs &&
         a.warnings == b.warnings;
}

// Text with the XML special characters written as references.
std::string xmlEscaped(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

struct Description {
  std::string text;
  std::map<std::string, std::string> values;  // element -> value read back
  AAS_UDF::CommandTable macros, inputs, outputs;
  std::size_t nameless = 0;
};

// The rule: an "aasSolver" element holding a "solverInfo" element with
// some of the value elements, then "aasCommand" elements. A value without a
// format is its text with placeholders expanded, with "explicit" the text,
// with "environment_variable" the named variable's value. A command's macro
// is its text expanded, blanks around it dropped; input and output default
// to "argv" and "output"; a later command of the same name replaces an
// earlier one; a command without a name is a warning.
Description writeDescription(solvarium_fuzz::ByteSource& bytes) {
  static const char* const kElements[] = {"solverName", "solverDescription", "accessType",
                                          "pythonHome", "pythonDllFile",     "pythonMainFile",
                                          "solverPid"};
  static const char* const kParts[] = {"{$UDF_FUZZ_A}",
                                       "{$UDF_FUZZ_NEST}",
                                       "{$UDF_FUZZ_EMPTY}",
                                       "{x}",
                                       "plain",
                                       " ",
                                       "a&b",
                                       "<c>",
                                       "\"q\"",
                                       "caf\xc3\xa9",
                                       "\n",
                                       "'"};
  static const char* const kVariables[] = {"UDF_FUZZ_A", "UDF_FUZZ_EMPTY", "UDF_FUZZ_NEST"};
  static const char* const kKinds[] = {"", "none", "argv", "stdout", "output", "a b"};
  static const char* const kPadding[] = {"", " ", "\n ", "\t"};
  auto text = [&] {
    std::string value;
    for (std::size_t n = bytes.below(4); n > 0; --n) value += bytes.pick(kParts);
    return value;
  };
  Description d;
  d.text = "<aasSolver>\n <solverInfo>\n";
  for (const char* element : kElements) {
    if (bytes.below(4) == 0) continue;
    std::string raw = text();
    std::string value;
    std::string format;
    switch (bytes.below(3)) {
      case 0: check(expectedExpansion(raw, &value), "a written value does not expand", raw); break;
      case 1:
        format = " format=\"explicit\"";
        value = raw;
        break;
      default:
        format = " format=\"environment_variable\"";
        raw = bytes.pick(kVariables);
        value = variables().at(raw);
    }
    d.values[element] = value;
    d.text +=
        std::string("  <") + element + format + ">" + xmlEscaped(raw) + "</" + element + ">\n";
  }
  d.text += " </solverInfo>\n";
  for (std::size_t n = bytes.below(5); n > 0; --n) {
    const std::string raw = text();
    std::string macro;
    check(expectedExpansion(raw, &macro), "a written macro does not expand", raw);
    const std::size_t first = macro.find_first_not_of(" \t\r\n");
    macro = first == std::string::npos
                ? ""
                : macro.substr(first, macro.find_last_not_of(" \t\r\n") + 1 - first);
    d.text += " <aasCommand";
    std::string name;
    if (bytes.below(4) != 0) {
      name = "aaS.c" + std::to_string(bytes.below(3)) + (bytes.flip() ? "&\"" : "");
      d.text += " command=\"" + xmlEscaped(name) + "\"";
    }
    const std::string input = bytes.pick(kKinds);
    const std::string output = bytes.pick(kKinds);
    if (!input.empty()) d.text += " input=\"" + input + "\"";
    if (!output.empty()) d.text += " output=\"" + output + "\"";
    d.text += ">" + std::string(bytes.pick(kPadding)) + xmlEscaped(raw) + bytes.pick(kPadding) +
              "</aasCommand>\n";
    if (name.empty()) {
      ++d.nameless;
      continue;
    }
    d.macros[name] = macro;
    d.inputs[name] = input.empty() ? "argv" : input;
    d.outputs[name] = output.empty() ? "output" : output;
  }
  d.text += "</aasSolver>\n";
  return d;
}

void checkContent(const uint8_t* data, std::size_t size) {
  solvarium_fuzz::ByteSource bytes(data, size);
  const Description d = writeDescription(bytes);
  AAS_UDF::CAasUdfXmlHandler record(environment());
  AAS_UDF::UdfDescriptionFault fault;
  check(AAS_UDF::readUdfDescription(d.text, &record, &fault), "a written description is refused",
        d.text + "\n----\n" + fault.message);
  const std::map<std::string, std::string> values = {
      {"solverName", record.solverName},       {"accessType", record.accessType},
      {"pythonHome", record.pythonHome},       {"pythonDllFile", record.pythonDllFile},
      {"pythonMainFile", record.pythonMainFile}, {"solverPid", record.solverPid}};
  for (const auto& entry : values) {
    const auto written = d.values.find(entry.first);
    check(entry.second == (written == d.values.end() ? "" : written->second),
          entry.first + " differs", d.text + "\n----\n" + entry.second);
  }
  check(record.commandMacros == d.macros, "command macros differ", d.text);
  check(record.commandInputs == d.inputs, "command inputs differ", d.text);
  check(record.commandOutputs == d.outputs, "command outputs differ", d.text);
  check(record.warnings.size() == d.nameless, "warnings differ", d.text);
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
      check(first.commandInputs.count(entry.first) == 1 &&
                first.commandOutputs.count(entry.first) == 1,
            "a command without input or output kind", text);
    }
  }
  checkContent(data, size);
  return 0;
}
