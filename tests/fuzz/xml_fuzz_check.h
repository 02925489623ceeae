// The property of the XML gate targets: whatever the text, the gate returns
// (never a hang or a crash), a refused text reaches no handler, and an
// accepted one leaves the handler's listing valid JSON.
#ifndef SOLVARIUM_TESTS_FUZZ_XML_FUZZ_CHECK_H_
#define SOLVARIUM_TESTS_FUZZ_XML_FUZZ_CHECK_H_

#include <string>

#include "common/xml_document.h"
#include "tests/fuzz/fuzz_check.h"

namespace solvarium_fuzz {

// Parses `document` with `handler` (which starts with an empty jsonText).
// Returns whether the gate accepted it.
template <typename Handler>
bool checkGatedHandler(const std::string& document, Handler& handler) {
  std::string error;
  const bool accepted = solvarium::parseXmlDocument(document, handler, "MyXML", &error);
  if (accepted) {
    checkJson(handler.jsonText, "listing of an accepted document");
  } else {
    check(!error.empty(), "refusal without a text", document);
    // Refused before ACEXML: the handler saw nothing.
    if (error.rfind("XML document", 0) == 0) {
      check(handler.jsonText.empty(), "refused document reached the handler", document);
    }
  }
  return accepted;
}

}  // namespace solvarium_fuzz

#endif  // SOLVARIUM_TESTS_FUZZ_XML_FUZZ_CHECK_H_
