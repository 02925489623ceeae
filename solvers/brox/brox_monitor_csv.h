// The monitor-data program's comma-separated output and the JSON written
// from it for the Brox monitor commands.
//
// Output layout read here: a header line of double-quoted variable names
// separated by commas ("" inside a name stands for one quote), then one data
// line per record, values separated by commas; the first column is the x
// axis. With "-showvars" the output is one variable name per line. Lines end
// in LF, CR or both; empty lines do not count.
//
// Names are JSON-escaped; a value is written bare only when it is a valid
// JSON number, an empty value as null, anything else as a JSON string.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_CSV_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_CSV_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace BROX {

// Copies the string literal `text`, without its NUL, to `out`; returns the end.
template <std::size_t N>
char* put(char* out, const char (&text)[N]) {
  std::memcpy(out, text, N - 1);
  return out + N - 1;
}

// One monitor's data: every row has exactly names.size() values.
struct MonitorTable {
  std::vector<std::string> names;
  std::vector<std::vector<std::string>> rows;
};

enum class MonitorParse {
  kOk,
  kNoData,      // no line, or a header without any name: the monitor is left out
  kMoreValues,  // a data line has more values than there are names
  kLessValues,  // a data line has fewer values than there are names
};

// Error texts of kMoreValues and kLessValues, as clients see them.
extern const char* const kMoreValuesText;
extern const char* const kLessValuesText;

// Lines of `text` cut at LF and CR, empty lines dropped.
std::vector<std::string> splitOutputLines(const std::string& text);

// The names of a header line of quoted, comma-separated names. A field
// without quotes is taken as it stands; blanks around a quoted field go.
std::vector<std::string> parseHeaderNames(const std::string& line);

// Parses the comma-separated output of the data and last-values modes.
MonitorParse parseMonitorTable(const std::string& output, MonitorTable* table);

// The output of the data mode read in place for the persisted-data answer:
// parse() checks it in one pass over its bytes and sizes every data array;
// writeArrays() writes the arrays straight into the caller's buffer in a
// second pass. Values are never copied into strings. The output text must
// outlive the object, unchanged.
class MonitorCsvData {
 public:
  // Same results as parseMonitorTable.
  MonitorParse parse(const std::string& output);

  const std::vector<std::string>& names() const { return names_; }
  std::size_t rows() const { return rows_; }
  // False when the column's value is empty in every data line.
  bool hasValue(std::size_t column) const { return columns_[column].hasValue; }

  // Bytes of the data members of the monitor object (one per name with a
  // value: "\t\t,\n", the quoted name, ":\n" and its array).
  std::size_t arraysSize() const { return arraysSize_; }
  // Writes exactly arraysSize() bytes at `out`; only after parse() gave kOk.
  void writeArrays(char* out) const;

 private:
  struct Column {
    bool hasValue = false;
    bool quoted = false;          // a value is written as a JSON string
    bool written = false;         // has a value and its name is not taken
    std::size_t valueBytes = 0;   // the values as JSON, without separators
    std::size_t arrayOffset = 0;  // where its member starts in writeArrays
  };
  const std::string* output_ = nullptr;
  std::size_t dataBegin_ = 0;  // first byte after the header line
  std::vector<std::string> names_;
  std::vector<Column> columns_;
  std::size_t rows_ = 0;
  std::size_t arraysSize_ = 0;
};

// Where a monitor comes from, as written in its JSON object.
struct MonitorLocation {
  bool saved = false;        // a result file ("SavedMonitor", "monitorFile")
  std::string location;      // path relative to the working directory
  bool multiConfig = false;  // the run is a configuration of a multi-configuration run
  std::string multiConfigName;
  int32_t multiConfigIndex = 0;
};

// Appends the "monitorType", location ("monitorDir" / "monitorFile") and,
// for a configuration of a multi-configuration run, the "multiConfigName"
// and "multiConfigIndex" members of one listed run, each after the first
// preceded by "\t\t,\n". Strings are JSON-escaped.
void appendRunHeader(std::string& out, const MonitorLocation& where);

// JSON array frame: "[\n" (written on construction), the monitor objects
// (the second and later ones preceded by "\t,"), "]\n".
// Appends to a string it does not own; one writer per array.
class MonitorArrayWriter {
 public:
  explicit MonitorArrayWriter(std::string* out) : out_(out) { *out_ += "[\n"; }
  // Appends one monitor object (text starting with "\t{\n").
  void add(const std::string& monitorObject);
  void end() { *out_ += "]\n"; }

 private:
  std::string* out_;
  bool first_ = true;
};

// A monitor object with the whole data: its head, the data members that
// MonitorCsvData::writeArrays writes, then kMonitorObjectEnd. The head holds
// the type and location members, the record count, xAxis and yAxis;
// `dataOnly` keeps only the record count. The head for a table with these
// names, row count and columns with a value (hasValue[column]):
std::string persistedDataHead(const MonitorLocation& where, const std::vector<std::string>& names,
                              std::size_t rows, const std::vector<bool>& hasValue, bool dataOnly);
// The same for an output read in place (after its parse() gave kOk).
std::string persistedDataHead(const MonitorLocation& where, const MonitorCsvData& data,
                              bool dataOnly);
// "\t}\n", the end of the object.
extern const char* const kMonitorObjectEnd;

// Monitor object with the values of the first data line.
std::string lastValuesMonitorJson(const MonitorLocation& where, const MonitorTable& table);

// Monitor object naming the variables: the first is the x axis.
std::string monitorNamesJson(const MonitorLocation& where, const std::vector<std::string>& names);

// A value as written in a data array or lastValues: null, number or string.
std::string monitorValueJson(const std::string& value);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_MONITOR_CSV_H_
