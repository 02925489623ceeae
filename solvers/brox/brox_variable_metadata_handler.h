// SAX handler that turns the variable information of the Brox monitor-data
// program (mode "-varinfo") into the JSON array that the variable-name
// listing places under "metaData": one object per "Variable" element inside
// "Variables", holding its attributes as strings, in document order.
//
// One handler serves one parse in one thread; read jsonText afterwards.
// Parse failures are left to the parser's exception (the base class's error
// callbacks do nothing; it resolves no entity).
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_METADATA_HANDLER_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_METADATA_HANDLER_H_

#include <ACEXML/common/DefaultHandler.h>

#include <cstdint>
#include <string>

namespace BROX {

class CXmlToJsonVariableMetaDataHandler : public ACEXML_DefaultHandler {
 public:
  void endDocument() override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;
  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;

  bool inVariables = false;
  bool inVariable = false;
  int32_t variableCount = 0;  // "Variable" objects written so far
  std::string jsonText;   // the result

 private:
  int nestedDepth_ = 0;  // elements open inside the current "Variable"
};

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_VARIABLE_METADATA_HANDLER_H_
