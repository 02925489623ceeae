#include "solvers/brox/brox_variable_metadata_handler.h"

#include <ACEXML/common/Attributes.h>

#include <cstring>

#include "common/json_text.h"

namespace BROX {

void CXmlToJsonVariableMetaDataHandler::startDocument() {
  inVariables = false;
  inVariable = false;
  variableCount = 0;
  nestedDepth_ = 0;
  jsonText = "\t\t[\n";
}

void CXmlToJsonVariableMetaDataHandler::startElement(const ACEXML_Char*, const ACEXML_Char*,
                                                     const ACEXML_Char* qName,
                                                     ACEXML_Attributes* atts) {
  if (qName == nullptr) return;
  if (!inVariables) {
    if (std::strcmp(qName, "Variables") == 0) inVariables = true;
    return;
  }
  // Elements inside a variable write nothing; only its own end tag closes it.
  if (inVariable) {
    ++nestedDepth_;
    return;
  }
  if (std::strcmp(qName, "Variable") != 0) return;
  inVariable = true;
  jsonText += "\t\t\t";
  if (variableCount != 0) jsonText += ",";
  jsonText += "{\n";
  ++variableCount;
  if (atts == nullptr) return;
  for (std::size_t i = 0; i < atts->getLength(); ++i) {
    const ACEXML_Char* name = atts->getQName(i);
    const ACEXML_Char* value = atts->getValue(i);
    jsonText += "\t\t\t\t";
    if (i != 0) jsonText += ",";
    jsonText += solvarium::jsonQuote(name != nullptr ? name : "") + ":" +
                solvarium::jsonQuote(value != nullptr ? value : "") + "\n";
  }
}

void CXmlToJsonVariableMetaDataHandler::endElement(const ACEXML_Char*, const ACEXML_Char*,
                                                   const ACEXML_Char* qName) {
  if (qName == nullptr) return;
  if (inVariable) {
    if (nestedDepth_ > 0) {
      --nestedDepth_;
    } else if (std::strcmp(qName, "Variable") == 0) {
      jsonText += "\t\t\t}\n";
      inVariable = false;
    }
  } else if (inVariables && std::strcmp(qName, "Variables") == 0) {
    inVariables = false;
  }
}

void CXmlToJsonVariableMetaDataHandler::endDocument() {
  // A document cut off inside a variable still gives a closed object.
  if (inVariable) {
    jsonText += "\t\t\t}\n";
    inVariable = false;
  }
  jsonText += "\t\t]\n";
}

}  // namespace BROX
