// GREND::CXmlToJsonGstHandler: one Grend solution-tracking file (".gst") to
// one JSON object. Each LOADSTEPDATA stretch becomes a record; stretches that
// continue each other (same header, rising first column) are merged into one
// "persistedData", otherwise each is written as "persistedData_%04d". Rows
// can be cut at a start time, load step and sub-step, or cumulative
// iteration.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "solvers/grend/grend_xml_handler.h"

namespace GREND {

// One LOADSTEPDATA stretch.
struct GstRecord {
  std::string units;
  std::string xAxis;
  std::vector<std::string> yAxis;
  std::vector<MonitorColumn> columns;
};

class CXmlToJsonGstHandler : public GrendXmlHandler {
 public:
  CXmlToJsonGstHandler(std::string fileBaseName, std::vector<std::string> filterArgs);

  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;
  void endDocument() override;

  // Appends the persisted-data member of one stretch, or of continuing
  // stretches written as one (their values in order); `number` -1 gives the
  // unnumbered "persistedData".
  void appendPersistedData(std::string* json, int number,
                           const std::vector<const GstRecord*>& parts) const;

 private:
  void buildRecord();

  bool inSolution = false;
  bool inLoadStepData = false;
  bool inHeader = false;
  bool inColumn = false;
  int32_t currentColumnId = -1;
  ColumnTable columnNames;
  bool inUnits = false;
  std::string units;
  bool inColData = false;
  std::string colDataText;
  std::vector<GstRecord> records;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_
