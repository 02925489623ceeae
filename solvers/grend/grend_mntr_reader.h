// The reader of Grend solution-monitor files (".mntr"): fixed-width text
// columns turned into one JSON object. A plain function over the file's
// text, so it is tested and fuzzed without a file or an ORB.
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_MNTR_READER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_MNTR_READER_H_

#include <string>
#include <vector>

namespace GREND {

// Appends to `json` the object of one ".mntr" file whose whole content is
// `text` (taken over: NUL bytes are turned into blanks in place): "name",
// "file" (`fileName`), "description", "additionalInfo", "columnHeaders", one
// array per column with the rows that `filterArgs` keeps, and, when the file
// has rows, one "current..." member per column with the last row's value.
//
// Filters ("start_load_step_sub_step" L S, "start_total_iter" I,
// "start_total_time_lfact" T) need their columns; a row whose value reads as
// "nan" stays; any other list keeps every row. A "nan" in column 0 ends the
// header. Texts are JSON-escaped, values written as bare JSON values. A file
// too short for a title, a header or data gives the members that can be read.
// The text must be shorter than 4 GiB.
void appendMntrMonitorJson(std::string* json, const std::string& fileName, std::string text,
                           const std::vector<std::string>& filterArgs);

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_MNTR_READER_H_
