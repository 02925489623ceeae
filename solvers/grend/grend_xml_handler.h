// The pattern shared by the Grend XML-to-JSON handlers (".cnd", ".gst",
// ".nlh"): one ACEXML_DefaultHandler in all four roles, the JSON text it
// builds, the file's base name and the filter words, and the text of the
// element in hand.
//
// Text: the character events between two tags are joined (CDATA sections and
// comments split them), so an element's text is whole; leading line feeds,
// carriage returns, blanks and tabs are skipped when it is used.
//
// One handler serves one parse in one thread; read `json` afterwards. Parse
// failures are the parser's exceptions (the error callbacks do nothing and
// no entity is resolved).
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_XML_HANDLER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_XML_HANDLER_H_

#include <ACEXML/common/DefaultHandler.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "solvers/grend/grend_text.h"

class ACEXML_Attributes;

namespace GREND {

// Column IDs outside 1..kMaxColumnId are ignored.
inline constexpr int32_t kMaxColumnId = 10000;

// A column of a ".gst" stretch or a ".nlh" table: its name and its values as
// text, in file order.
struct MonitorColumn {
  std::string name;
  ValueList values;
};

// True when the event's qualified name is `name` (exact, case-sensitive).
bool isElement(const ACEXML_Char* qName, const char* name);

// Column table: key ID - 1, value the column's name.
using ColumnTable = std::map<int32_t, std::string>;

class GrendXmlHandler : public ACEXML_DefaultHandler {
 public:
  GrendXmlHandler(std::string fileBaseName, std::vector<std::string> filterArgs);

  void characters(const ACEXML_Char* ch, size_t start, size_t length) override;

  std::string json;  // the document, complete after endDocument

  // After a parse that succeeded: appends the object to `out` (moving it when
  // `out` is empty) and answers true, or answers false when the document did
  // not end.
  virtual bool appendTo(std::string* out);

 protected:
  // json = the object's head: "name", "file" (base name + `extension`),
  // "description".
  void writeHead(const char* extension, const char* description);
  // The text since the last tag, leading white space skipped; empty when
  // there is none. Moves it out.
  std::string takeText();
  // Forgets the text collected so far (called at every tag).
  void clearText() { text_.clear(); }

  // The value of attribute `name` of `atts` as a column ID - 1 when it is an
  // ID in 1..kMaxColumnId; -1 otherwise.
  static int32_t columnKey(const ACEXML_Char* value);
  // Names of positions 0 up to the highest key; positions without a name
  // are empty.
  static std::vector<std::string> denseNames(const ColumnTable& table);
  // One column per name; the words of `text` dealt to them row by row (one
  // final '.' of each dropped when `dropPoint`). No column: nothing dealt.
  static std::vector<MonitorColumn> dealValues(const std::vector<std::string>& names,
                                               const std::string& text, bool dropPoint);

  std::string fileBaseName;
  std::vector<std::string> filterArgs;

  // The element in hand, the COLUMN in hand, the header's column names and
  // units, and the COLDATA text.
  bool inSolution = false;
  bool inHeader = false;
  bool inColumn = false;
  bool inUnits = false;
  bool inColData = false;
  int32_t currentColumnId = -1;  // key (ID - 1) of the open COLUMN
  ColumnTable columnNames;
  std::string units;
  std::string colDataText;

 private:
  std::string text_;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_XML_HANDLER_H_
