// The Brox storage commands: folder and file listings of the working
// directory and the path tests that the other listings share. Free
// functions without state; errors from brox_errors.h.
#ifndef SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_
#define SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_

#include <string>
#include <vector>

#include "solvers/brox/brox_errors.h"

namespace BROX {

// Path tests.
bool isFile(const std::string& path);
bool isDirectory(const std::string& path);
bool endsWith(const std::string& text, const std::string& suffix);

// Appends "<folder>/<name>\n" for matching folders / files, descending
// `depth` levels. Raises EInstantScriptError when `folder` itself cannot
// be opened; sub-folders that cannot be opened are passed over.
void list_folders(std::string& result, const std::string& folder, const std::string& suffix,
                  int depth);
void list_files(std::string& result, const std::string& folder, const std::string& suffix,
                int depth);

// The runs of the working directory and one level below: every ".dir"
// folder, or for `saved` every ".res" file, in listing order.
std::vector<std::string> runPaths(bool saved);

// "aaS.list_brox_directories" / "aaS.list_brox_res_files"
// [mdef-session <session>], "aaS.list_brox_def_files",
// "aaS.list_brox_out_files": append the listing to `result`.
void listDirectories(std::string& result, const Tokens& tokens, const std::string& commandText);
void listResFiles(std::string& result, const Tokens& tokens, const std::string& commandText);
void listDefFiles(std::string& result, const Tokens& tokens, const std::string& commandText);
void listOutFiles(std::string& result, const Tokens& tokens, const std::string& commandText);

}  // namespace BROX

#endif  // SOLVARIUM_SOLVERS_BROX_BROX_STORAGE_COMMANDS_H_
