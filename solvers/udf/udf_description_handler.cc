#include "solvers/udf/udf_description_handler.h"

#include <ACEXML/common/Attributes.h>

#include <cstring>

#include "common/text_words.h"

namespace AAS_UDF {

namespace {

const char kBlanks[] = " \t\r\n";

// The value elements of solverInfo and the member each fills;
// solverDescription is read for its faults only.
struct ValueElement {
  const char* name;
  std::string CAasUdfXmlHandler::*member;
};

const ValueElement* valueElement(const char* name) {
  using H = CAasUdfXmlHandler;
  static const ValueElement kElements[] = {
      {"solverName", &H::solverName},         {"solverDescription", nullptr},
      {"accessType", &H::accessType},         {"pythonHome", &H::pythonHome},
      {"pythonDllFile", &H::pythonDllFile},   {"pythonMainFile", &H::pythonMainFile},
      {"solverPid", &H::solverPid}};
  for (const ValueElement& element : kElements) {
    if (std::strcmp(name, element.name) == 0) return &element;
  }
  return nullptr;
}

// The value of the first attribute whose qualified name is `name`; "" when
// there is none.
std::string getAttributeValue(ACEXML_Attributes* attributes, const char* name) {
  if (attributes == nullptr) return std::string();
  for (size_t i = 0; i < attributes->getLength(); ++i) {
    const ACEXML_Char* qName = attributes->getQName(i);
    if (qName != nullptr && std::strcmp(qName, name) == 0) {
      const ACEXML_Char* value = attributes->getValue(i);
      return value != nullptr ? value : "";
    }
  }
  return std::string();
}

}  // namespace

CAasUdfXmlHandler::CAasUdfXmlHandler(const solvarium::Environment& environment)
    : environment_(environment) {}

CAasUdfXmlHandler::~CAasUdfXmlHandler() = default;

void CAasUdfXmlHandler::fail(const std::string& message, bool printed) {
  failed = true;
  fault.message = message;
  fault.printed = printed;
  fault.toUdfErrorFile = false;
}

void CAasUdfXmlHandler::characters(const ACEXML_Char* ch, size_t start, size_t length) {
  if (failed || !collectingText_ || ch == nullptr) return;
  text_.append(ch + start, length);
}

void CAasUdfXmlHandler::startDocument() {
  inAasSolver_ = false;
  inSolverInfo_ = false;
  inAasCommand_ = false;
}

void CAasUdfXmlHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                     const ACEXML_Char* qName, ACEXML_Attributes* atts) {
  if (failed || qName == nullptr) return;
  if (std::strcmp(qName, "aasSolver") == 0) {
    inAasSolver_ = true;
  } else if (!inAasSolver_) {
    return;
  } else if (std::strcmp(qName, "solverInfo") == 0) {
    inSolverInfo_ = true;
  } else if (inSolverInfo_) {
    if (valueElement(qName) != nullptr) {
      beginValue(atts);
    } else if (std::strcmp(qName, "defaultIo") == 0) {
      fail("Error! defaultIo is not supported in this version of 3P aaS\n", false);
    }
  } else if (std::strcmp(qName, "aasCommand") == 0) {
    beginCommand(atts);
  }
}

void CAasUdfXmlHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                   const ACEXML_Char* qName) {
  if (failed || qName == nullptr) return;
  if (std::strcmp(qName, "aasSolver") == 0) {
    inAasSolver_ = false;
  } else if (!inAasSolver_) {
    return;
  } else if (std::strcmp(qName, "solverInfo") == 0) {
    inSolverInfo_ = false;
  } else if (inSolverInfo_) {
    if (const ValueElement* element = valueElement(qName)) endValue(element->member);
  } else if (inAasCommand_) {
    endCommand();
  }
}

void CAasUdfXmlHandler::beginValue(ACEXML_Attributes* atts) {
  storage_ = getAttributeValue(atts, "format");
  text_.clear();
  collectingText_ = true;
}

void CAasUdfXmlHandler::endValue(std::string CAasUdfXmlHandler::*member) {
  collectingText_ = false;
  std::string value;
  if (!resolveStoredValue(text_, storage_, environment_, &value, &fault)) {
    failed = true;
    return;
  }
  text_.clear();
  storage_.clear();
  if (member != nullptr) this->*member = value;
}

void CAasUdfXmlHandler::beginCommand(ACEXML_Attributes* atts) {
  inAasCommand_ = true;
  currentCommand_.clear();
  currentMacro_.clear();
  currentInput_.clear();
  currentOutput_.clear();
  for (size_t i = 0; atts != nullptr && i < atts->getLength(); ++i) {
    const ACEXML_Char* name = atts->getQName(i);
    const ACEXML_Char* value = atts->getValue(i);
    if (name == nullptr) continue;
    const std::string text = value != nullptr ? value : "";
    if (std::strcmp(name, "command") == 0) {
      currentCommand_ = text;
    } else if (std::strcmp(name, "type") == 0) {
      fail("Error! Type attribute is not supported in this version of 3P aaS\n", false);
      return;
    } else if (std::strcmp(name, "input") == 0) {
      currentInput_ = text;
    } else if (std::strcmp(name, "output") == 0) {
      currentOutput_ = text;
    }
  }
  text_.clear();
  collectingText_ = true;
}

void CAasUdfXmlHandler::endCommand() {
  collectingText_ = false;
  std::string macro;
  if (!resolveStoredValue(text_, std::string(), environment_, &macro, &fault)) {
    failed = true;
    return;
  }
  currentMacro_ = std::string(solvarium::trimChars(macro, kBlanks));
  storage_.clear();
  inAasCommand_ = false;
  if (currentCommand_.empty()) {
    warnings.push_back("Error! aasCommand without a command name is ignored (macro <" +
                       currentMacro_ + ">)\n");
    return;
  }
  commandMacros[currentCommand_] = currentMacro_;
  commandInputs[currentCommand_] = currentInput_.empty() ? "argv" : currentInput_;
  commandOutputs[currentCommand_] = currentOutput_.empty() ? "output" : currentOutput_;
}

const std::string& valueOf(const CommandTable& table, const std::string& name) {
  static const std::string kNone;
  const auto found = table.find(name);
  return found != table.end() ? found->second : kNone;
}

}  // namespace AAS_UDF
