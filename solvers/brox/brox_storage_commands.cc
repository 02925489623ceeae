// Folder and file listings of the working directory, path tests, the will
// answer and the argument parser of the report-plot commands.
#include "solvers/brox/brox_storage_commands.h"

#include <sys/stat.h>

#include <ace/OS_NS_dirent.h>

#include "AAS_CORBA.hh"
#include "common/command_tokenizer.h"
#include "common/json_text.h"
#include "solvers/brox/brox_monitor_csv.h"
#include "solvers/brox/brox_monitors.h"

namespace BROX {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;

void raiseScriptError(const std::string& command, const std::string& errorInfo,
                      const std::string& commandOutput) {
  throw Exc::EInstantScriptError(1, command.c_str(), errorInfo.c_str(), commandOutput.c_str());
}

void raiseMonitorArgumentError(const std::string& description, const std::string& commandText,
                               std::size_t position) {
  const std::string moreInfo = "Instant aaS command:\n" + commandText;
  throw Exc::EKorlenInvalidArgument(1, description.c_str(), "BROX Instant aaS", "IBroxMonitors",
                                    commandText.c_str(), moreInfo.c_str(),
                                    solvarium::clampPosition(position));
}

void raiseQuestion(const std::string& prompt, const std::string& defaultAnswer) {
  throw Exc::EInstantReadUnquotedString(2, prompt.c_str(), defaultAnswer.c_str(), "", "");
}

void writeWillJson(const Will& will, std::string& result) {
  result += "{\n";
  if (will.size() == 1) {
    const auto& session = *will.begin();
    result += "\t\"session-name\":\t" + solvarium::jsonQuote(session.first) + "\n";
    result += "\t,\n";
    result += "\t\"attributes\":\n";
    result += "\t[\n";
    bool first = true;
    for (const std::string& attribute : session.second) {
      if (!first) result += "\t\t,\n";
      first = false;
      result += "\t\t" + solvarium::jsonQuote(attribute) + "\n";
    }
    result += "\t]\n";
  }
  result += "}\n";
}

namespace {

// Status of `path` (symbolic links followed); false when it cannot be read.
bool statPath(const std::string& path, struct stat* st) {
  return ::stat(path.c_str(), st) == 0;
}

// Entry names of `folder` in the order the directory delivers them, without
// "." and "..". False when the folder cannot be opened.
bool readFolder(const std::string& folder, std::vector<std::string>* names) {
  ACE_DIR* dir = ACE_OS::opendir(folder.c_str());
  if (dir == nullptr) return false;
  while (ACE_DIRENT* entry = ACE_OS::readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    names->push_back(name);
  }
  ACE_OS::closedir(dir);
  return true;
}

[[noreturn]] void raiseAccessError(const char* listing) {
  raiseScriptError(listing, "Error accesing BROX main directory");
}

// The session filter of the directory and result-file listings: keeps the
// entries inside "./<session>/", without their four-character suffix.
std::string filterBySession(const std::string& listing, const std::string& session) {
  const std::string prefix = "./" + session + "/";
  std::string kept;
  bool first = true;
  for (std::string line : splitOutputLines(listing)) {
    line.erase(line.size() >= 4 ? line.size() - 4 : 0);
    if (line.compare(0, prefix.size(), prefix) != 0) continue;
    if (!first) kept += "\n";
    first = false;
    kept += line;
  }
  return kept;
}

}  // namespace

void raiseIfParameters(const std::vector<std::string>& tokens, const std::string& commandText) {
  if (tokens.size() > 1)
    raiseScriptError(commandText, "command [" + commandText + "] does not have parameters");
}

bool BroxMonitors::isFile(const std::string& path) {
  struct stat st;
  return statPath(path, &st) && !S_ISDIR(st.st_mode);
}

bool BroxMonitors::isDirectory(const std::string& path) {
  struct stat st;
  return statPath(path, &st) && S_ISDIR(st.st_mode);
}

bool BroxMonitors::endsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

namespace {

// The listings below `folder`; false when `folder` itself cannot be opened.
// A sub-folder that cannot be opened is passed over, as the run-status scan
// does, so one unreadable folder does not hide every run.
bool appendFolders(std::string& result, const std::string& folder, const std::string& suffix,
                   int depth) {
  std::vector<std::string> names;
  if (!readFolder(folder, &names)) return false;
  std::vector<std::string> later;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st;
    // An entry whose status cannot be read is skipped.
    if (!statPath(path, &st) || !S_ISDIR(st.st_mode)) continue;
    if (BroxMonitors::endsWith(name, suffix)) {
      result += path + "\n";
    } else if (depth > 0) {
      later.push_back(path);
    }
  }
  for (const std::string& path : later) appendFolders(result, path, suffix, depth - 1);
  return true;
}

bool appendFiles(std::string& result, const std::string& folder, const std::string& suffix,
                 int depth) {
  std::vector<std::string> names;
  if (!readFolder(folder, &names)) return false;
  for (const std::string& name : names) {
    const std::string path = folder + "/" + name;
    struct stat st;
    if (!statPath(path, &st)) continue;
    if (S_ISDIR(st.st_mode)) {
      if (depth > 0) appendFiles(result, path, suffix, depth - 1);
    } else if (BroxMonitors::endsWith(name, suffix)) {
      result += path + "\n";
    }
  }
  return true;
}

}  // namespace

void BroxMonitors::list_folders(std::string& result, const std::string& folder,
                                const std::string& suffix, int depth) {
  if (!appendFolders(result, folder, suffix, depth)) raiseAccessError("list_folders");
}

void BroxMonitors::list_files(std::string& result, const std::string& folder,
                              const std::string& suffix, int depth) {
  if (!appendFiles(result, folder, suffix, depth)) raiseAccessError("list_files");
}

std::vector<std::string> BroxMonitors::runPaths(bool saved) {
  std::string listing;
  if (saved)
    list_files(listing, ".", ".res", 1);
  else
    list_folders(listing, ".", ".dir", 1);
  return splitOutputLines(listing);
}

namespace {

// Shared course of the two listings that take "mdef-session <session>".
template <typename Listing>
void listWithSessionFilter(std::string& result, const BroxMonitors::Tokens& tokens,
                           const std::string& commandText, Listing makeListing) {
  std::string listing;
  makeListing(listing);  // its access error comes before any argument error
  if (tokens.size() == 1) {
    result += listing;
  } else if (tokens.size() == 3 && tokens[1] == "mdef-session") {
    result += filterBySession(listing, tokens[2]);
  } else {
    raiseScriptError(commandText, "command [" + commandText + "] is invalid");
  }
}

}  // namespace

void BroxMonitors::listDirectories(std::string& result, const Tokens& tokens,
                                   const std::string& commandText) {
  listWithSessionFilter(result, tokens, commandText,
                        [this](std::string& listing) { list_folders(listing, ".", ".dir", 1); });
}

void BroxMonitors::listResFiles(std::string& result, const Tokens& tokens,
                                const std::string& commandText) {
  listWithSessionFilter(result, tokens, commandText,
                        [this](std::string& listing) { list_files(listing, ".", ".res", 1); });
}

void BroxMonitors::listDefFiles(std::string& result, const Tokens& tokens,
                                const std::string& commandText) {
  raiseIfParameters(tokens, commandText);
  list_files(result, ".", ".def", 0);
}

void BroxMonitors::listOutFiles(std::string& result, const Tokens& tokens,
                                const std::string& commandText) {
  raiseIfParameters(tokens, commandText);
  list_files(result, ".", ".out", 1);
}

void BroxMonitors::retrieveWill(std::string& result, const Tokens& tokens,
                                const std::string& commandText) {
  if (tokens.size() > 1)
    raiseScriptError(commandText, "command [" + tokens[0] + "] does not have parameters");
  writeWillJson(will, result);
}

void BroxMonitors::parseReportPlotArguments(std::string& result, const Tokens& tokens,
                                            const std::string& commandText) {
  const std::string& command = tokens.empty() ? std::string() : tokens[0];
  bool amend = false;
  if (command == "aaS.amend_report_plots_will") {
    amend = true;
    result.clear();
  } else if (command == "aaS.list_report_plots" || command == "aaS.list_saved_report_plots" ||
             command == "aaS.list_report_plots_with_persisted_data" ||
             command == "aaS.list_saved_report_plots_with_persisted_data") {
    if (!implicitWillAmends) return;
  } else {
    raiseMonitorArgumentError("Unexpected token:\n" + command, commandText, 1);
  }

  // Parsed into locals so that a rejected command leaves the will fields.
  std::string sessionName, plotList, variableList, messages;
  struct Keyword {
    const char* name;
    std::string* field;  // null: the value is read elsewhere from the tokens
  };
  const Keyword keywords[] = {
      {"session-name", &sessionName}, {"plot-list", &plotList},
      {"variable-list", &variableList}, {"start-time-step", nullptr},
      {"end-time-step", nullptr},
  };

  // Each keyword is tested in turn on the token at the current index, so a
  // value that is itself a keyword followed by a token is taken as one.
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    bool matched = false;
    for (const Keyword& keyword : keywords) {
      if (tokens[i] == keyword.name && i + 1 < tokens.size()) {
        ++i;
        if (keyword.field != nullptr) *keyword.field = tokens[i];
        matched = true;
      }
    }
    if (!matched) raiseMonitorArgumentError("Invalid token:\n" + tokens[i], commandText, i + 1);
    if (amend)
      messages += "BROX Will updated with new <" + tokens[i - 1] + ">:\n\t" + tokens[i] + "\n";
  }

  willSessionName = sessionName;
  willPlotList = plotList;
  willVariableList = variableList;
  if (willSessionName.empty()) messages += "BROX Will updated to include all sessions.\n";
  if (willPlotList.empty()) messages += "BROX Will updated to include all default plots.\n";
  if (willVariableList.empty()) messages += "BROX Will updated to include all default variables.\n";
  result += messages;
}

}  // namespace BROX
