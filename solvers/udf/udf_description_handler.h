// CAasUdfXmlHandler: the SAX handler that reads the UDF solver description
// and is, once the parse has ended, the description record itself: the
// solver's values (resolved by their "format", see udf_value_resolution.h)
// and the table of configured "aaS." commands with their Python macros.
//
// The first description fault stops the reading: it is kept in `fault` and
// every later callback is ignored. One handler serves one parse in one
// thread; afterwards the record is only read.
#ifndef SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_HANDLER_H_
#define SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_HANDLER_H_

#include <ACEXML/common/DefaultHandler.h>

#include <map>
#include <string>
#include <vector>

#include "service/solver_kind.h"
#include "solvers/udf/udf_value_resolution.h"

namespace AAS_UDF {

using CommandTable = std::map<std::string, std::string>;

// The value of `name` in `table`; "" when absent (never adds an entry).
const std::string& valueOf(const CommandTable& table, const std::string& name);

// Read before the ORB starts, the record is the UDF kind's KindSettings.
class CAasUdfXmlHandler : public ACEXML_DefaultHandler, public solvarium::KindSettings {
 public:
  // Placeholders and "environment_variable" values are read from
  // `environment`, which must outlive the parse.
  explicit CAasUdfXmlHandler(const solvarium::Environment& environment);
  ~CAasUdfXmlHandler() override;

  // Published values.
  std::string solverName;   // getSolverId
  std::string accessType;   // getAcessType
  std::string solverPid;    // the process the watcher follows, text as given
  std::string pythonHome;
  std::string pythonDllFile;
  std::string pythonMainFile;
  CommandTable commandMacros;   // command name -> Python macro name
  CommandTable commandInputs;   // command name -> input kind ("argv", ...)
  CommandTable commandOutputs;  // command name -> output kind ("output", "stdout", ...);
                                // every command's macro is a Python one

  // Reading outcome.
  bool failed = false;                // a description fault was met
  UdfDescriptionFault fault;          // the first one
  std::vector<std::string> warnings;  // lines for the error file; not faults

 private:
  // The parser's callbacks, reached through its handler interfaces.
  void characters(const ACEXML_Char* ch, size_t start, size_t length) override;
  void startDocument() override;
  void startElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                    const ACEXML_Char* qName, ACEXML_Attributes* atts) override;
  void endElement(const ACEXML_Char* namespaceURI, const ACEXML_Char* localName,
                  const ACEXML_Char* qName) override;

  void fail(const std::string& message, bool printed);
  void beginValue(ACEXML_Attributes* atts);
  void endValue(std::string CAasUdfXmlHandler::*member);  // null: the value is dropped
  void beginCommand(ACEXML_Attributes* atts);
  void endCommand();

  const solvarium::Environment& environment_;
  bool collectingText_ = false;
  std::string text_;
  bool inAasSolver_ = false;
  bool inSolverInfo_ = false;
  bool inAasCommand_ = false;
  std::string storage_;
  std::string currentCommand_;
  std::string currentMacro_;
  std::string currentInput_;
  std::string currentOutput_;
};

}  // namespace AAS_UDF

#endif  // SOLVARIUM_SOLVERS_UDF_UDF_DESCRIPTION_HANDLER_H_
