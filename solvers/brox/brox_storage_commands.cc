#include "solvers/brox/brox_storage_commands.h"

#include <sys/stat.h>

#include <ace/OS_NS_dirent.h>

#include "solvers/brox/brox_errors.h"
#include "solvers/brox/brox_monitor_csv.h"

namespace BROX {

namespace {

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

bool isFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool endsWith(const std::string& text, const std::string& suffix) {
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
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    if (endsWith(name, suffix)) {
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
    if (::stat(path.c_str(), &st) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      if (depth > 0) appendFiles(result, path, suffix, depth - 1);
    } else if (endsWith(name, suffix)) {
      result += path + "\n";
    }
  }
  return true;
}

}  // namespace

void list_folders(std::string& result, const std::string& folder, const std::string& suffix,
                  int depth) {
  if (!appendFolders(result, folder, suffix, depth)) raiseAccessError("list_folders");
}

void list_files(std::string& result, const std::string& folder, const std::string& suffix,
                int depth) {
  if (!appendFiles(result, folder, suffix, depth)) raiseAccessError("list_files");
}

std::vector<std::string> runPaths(bool saved) {
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
void listWithSessionFilter(std::string& result, const Tokens& tokens,
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

void listDirectories(std::string& result, const Tokens& tokens, const std::string& commandText) {
  listWithSessionFilter(result, tokens, commandText,
                        [](std::string& listing) { list_folders(listing, ".", ".dir", 1); });
}

void listResFiles(std::string& result, const Tokens& tokens, const std::string& commandText) {
  listWithSessionFilter(result, tokens, commandText,
                        [](std::string& listing) { list_files(listing, ".", ".res", 1); });
}

void listDefFiles(std::string& result, const Tokens& tokens, const std::string& commandText) {
  raiseIfParameters(tokens, commandText);
  list_files(result, ".", ".def", 0);
}

void listOutFiles(std::string& result, const Tokens& tokens, const std::string& commandText) {
  raiseIfParameters(tokens, commandText);
  list_files(result, ".", ".out", 1);
}

}  // namespace BROX
