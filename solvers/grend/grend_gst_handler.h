// GREND::CXmlToJsonGstHandler: one Grend solution-tracking file (".gst") to
// one JSON object. Each LOADSTEPDATA stretch becomes a record; stretches that
// continue each other (same header, rising first column) are merged into one
// "persistedData", otherwise each is written as "persistedData_%04d". Rows
// can be cut at a start time, load step and sub-step, or cumulative
// iteration.
//
// Memory: a record keeps its COLDATA text as read (under 4 GiB; the words
// are dealt to the columns only when the object is written) and the offset
// of each row, so the object can be written straight into the caller's
// answer after the document itself has been freed.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "solvers/grend/grend_xml_handler.h"

namespace GREND {

// One LOADSTEPDATA stretch: its header and its COLDATA words, dealt to the
// columns row by row (word i is row i / columns, column i % columns).
struct GstRecord {
  std::string units;
  std::string xAxis;
  std::vector<std::string> yAxis;
  std::vector<std::string> names;  // one per column
  std::string text;                // the COLDATA text
  std::size_t words = 0;
  std::vector<uint32_t> rows;      // offset in `text` of each row; a cursor while writing
  std::vector<uint32_t> lastAt;    // per column: offset and length of its last value
  std::vector<bool> kept;          // per row, by the filter words; empty: every row
  std::string firstX;              // the first value of the first column

  // Values of column k.
  std::size_t columnSize(std::size_t k) const {
    return words / names.size() + (k < words % names.size() ? 1 : 0);
  }
  // The last value of column k (which has values).
  std::string_view lastValue(std::size_t k) const {
    return std::string_view(text).substr(lastAt[2 * k], lastAt[2 * k + 1]);
  }
};

class CXmlToJsonGstHandler : public GrendXmlHandler {
 public:
  using GrendXmlHandler::GrendXmlHandler;

  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;
  void endDocument() override;

  // Writes the object at the end of `out` from the records (used up: call
  // once); false when the document did not end.
  bool appendTo(std::string* out) override;

 private:
  void buildRecord();
  // Appends the persisted-data member of one stretch, or of continuing
  // stretches written as one (their values in order); `number` -1 gives the
  // unnumbered "persistedData".
  void appendPersistedData(std::string* json, int number, const std::vector<GstRecord*>& parts);

  bool inLoadStepData = false;
  std::vector<GstRecord> records;
  bool ended_ = false;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_GST_HANDLER_H_
