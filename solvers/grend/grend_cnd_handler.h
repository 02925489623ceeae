// GREND::CXmlToJsonCndHandler: one Grend contact file (".cnd") to one JSON
// object: name, file and description and, when the data blocks agree in
// shape and contact-pair identifiers, "persistedData" with the units, the
// step values of every block, the column names, the contact-pair ids and one
// array per pair and data column. The filter words change nothing here.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_CND_HANDLER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_CND_HANDLER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "solvers/grend/grend_xml_handler.h"

namespace GREND {

// One COLDATA block: its step attributes and the words of its text; row p is
// values p * columnCount ... p * columnCount + columnCount - 1, the
// contact-pair id first.
struct CndRecord {
  std::string loadStep, subStep, iteration, time;
  std::vector<std::string> values;
  uint64_t columnCount = 0;
};

// Same shape and the same contact-pair ids (data values are not compared).
bool CndRecordEquals(const CndRecord& a, const CndRecord& b);

class CXmlToJsonCndHandler : public GrendXmlHandler {
 public:
  using GrendXmlHandler::GrendXmlHandler;

  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;
  void endDocument() override;

 private:
  std::string writePersistedData() const;

  CndRecord current_;  // the COLDATA block in hand
  std::vector<CndRecord> records;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_CND_HANDLER_H_
