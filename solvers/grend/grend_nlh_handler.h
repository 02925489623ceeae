// GREND::CXmlToJsonNlhHandler: one Grend time-history file (".nlh") to one
// JSON object: name, file and description and, when the COLDATA tables form
// one series in rising time, "persistedData" with the last time, the axes,
// the contact pair, item and component of every y column and one array per
// column holding the values of all tables. The filter words change nothing.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_NLH_HANDLER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_NLH_HANDLER_H_

#include <string>
#include <vector>

#include "solvers/grend/grend_xml_handler.h"

namespace GREND {

// One COLDATA table, position 0 (the time) first.
struct NlhRecord {
  std::vector<MonitorColumn> columns;
};

class CXmlToJsonNlhHandler : public GrendXmlHandler {
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

  std::string contactPair, item, comp;  // of the COLUMN in hand
  ColumnTable contactPairs, items, comps;
  std::vector<NlhRecord> records;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_NLH_HANDLER_H_
