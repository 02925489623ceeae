// Text helpers of the Brox command interpreter that need no ORB: the
// supported-command names, the run listings and the "./" removal. Free
// functions without state.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "quennet/brox_status.h"

namespace BROX {

// The 32 command names of the supported-command set, in insertion order.
const std::vector<std::string>& broxCommandNames();

// "aaS.suggest": every name of `commands` in set order, each + "\n".
std::string suggestText(const std::set<std::string>& commands);

// Removes "./" at the start of each line of a listing, once per line; a
// "./" inside a name, or the "./" of "../", stays.
std::string stripLeadingDotSlash(const std::string& listing);

// "aaS.list_all_brox_storages": one line per run key (single configuration)
// or per run key + "/" + configuration (multi-configuration, only runs
// named `session` when `session` is not null). Keys unchanged.
std::string runListText(const BroxStatusReader::ResultMap& results,
                        const std::string* session);

// "aaS.list_all_active_brox_storages": the keys of the runs not completed,
// configurations expanded as above, no session filter.
std::string activeRunListText(const BroxStatusReader::ResultMap& results);

// Reads a whole decimal number of minutes the way stream extraction does
// (leading blanks, optional sign, nothing after it); true when it is >= 1.
bool parseAutoSavePeriod(const std::string& text, int32_t* minutes);

// The elements of a JSON array answer: the text after its first "[" and
// before its last "]"; empty when that text holds no "{".
std::string innerArrayText(const std::string& answer);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_INTERPRETER_H_
