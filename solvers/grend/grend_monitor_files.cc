#include "solvers/grend/grend_monitor_files.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "common/confined_file.h"
#include "common/confined_path.h"
#include "common/diagnostics.h"
#include "common/xml_document.h"
#include "solvers/grend/grend_cnd_handler.h"
#include "solvers/grend/grend_gst_handler.h"
#include "solvers/grend/grend_mntr_reader.h"
#include "solvers/grend/grend_nlh_handler.h"
#include "solvers/grend/grend_text.h"

namespace GREND {

namespace {

// "{\n\t\"<key>\": \"<before><fileName><after>\"\n}\n", the name escaped.
std::string messageObject(const char* key, const char* before, const std::string& fileName,
                          const std::string& after) {
  std::string object = "{\n\t\"";
  object += key;
  object += "\": \"";
  object += before;
  appendEscaped(&object, fileName);
  appendEscaped(&object, after);
  object += "\"\n}\n";
  return object;
}

// Reads the whole monitor file `path` (a relative name from the working
// directory) when it resolves to a regular file inside the monitor folder.
// A file over kMaxMonitorFileBytes or one that memory cannot hold is
// kTooLarge; a read that ends early is kReadFailed with the bytes read kept.
solvarium::FileStatus loadMonitorFile(const std::string& dashFolder, const std::string& path,
                                      std::string* text) {
  std::string name = path;
  if (name.empty() || name[0] != '/') {
    const std::string cwd = solvarium::workingDirectory();
    name = cwd.empty() ? std::string() : cwd + (cwd == "/" ? "" : "/") + path;
  }
  // No monitor folder, or no working directory to name the file from: missing.
  const std::string folder = name.empty() ? std::string() : monitorFolder(dashFolder);
  return solvarium::readConfinedFile(folder, name, text, kMaxMonitorFileBytes);
}

bool inUse(const MonitorFileTable& open, const std::string& fileName) {
  auto it = open.find(fileName);
  return it != open.end() && it->second;
}

// The null-name and in-use objects shared by every reader; true when one
// was appended.
bool appendCommonFailure(const MonitorFileTable& open, std::string* json, const char* fileName) {
  if (fileName == nullptr) {
    *json += "{\n\t\"Error\": \"NULL monitor file name\"\n}\n";
    return true;
  }
  if (inUse(open, fileName)) {
    *json += messageObject("Warning", "File '", fileName,
                           "' is in use by the solver and cannot be accessed");
    return true;
  }
  return false;
}

}  // namespace

void listActiveMonitorFiles(const MonitorFileTable& active, const std::string& extension,
                            std::vector<std::string>* names) {
  for (const auto& entry : active) {
    const std::string& path = entry.first;
    if (entry.second && path.size() >= extension.size() &&
        path.compare(path.size() - extension.size(), extension.size(), extension) == 0) {
      names->push_back(path);
    }
  }
}

std::string monitorBaseName(const std::string& fileName) {
  return fileName.size() >= 4 ? fileName.substr(0, fileName.size() - 4) : fileName;
}

std::string dashFolderOf(const solvarium::Environment& environment) {
  std::string folder = environment.valueOr("GREND_DASH_DIR_FOLDER", "");
  std::replace(folder.begin(), folder.end(), '\\', '/');
  return folder;
}

std::string inDashFolder(const std::string& dashFolder, const std::string& fileName) {
  return dashFolder.empty() ? fileName : dashFolder + "/" + fileName;
}

std::string monitorFolder(const std::string& dashFolder) {
  return solvarium::realPathOf(dashFolder.empty() ? "." : dashFolder);
}

bool readMntrMonitorFile(const MonitorFileTable& open, const std::string& dashFolder,
                         std::string* json, const char* fileName,
                         const std::vector<std::string>& filterArgs) {
  if (appendCommonFailure(open, json, fileName)) return true;
  std::string text;
  const solvarium::FileStatus loaded = loadMonitorFile(dashFolder, fileName, &text);
  if (!loaded.ok()) {
    const char* before = loaded.code == solvarium::FileStatus::kTooLarge
                             ? "Insufficient memory to process file '"
                         : loaded.code == solvarium::FileStatus::kReadFailed
                             ? "Error reading file '"
                             : "Opening file '";
    *json += messageObject("Error", before, fileName, "'");
    return true;
  }
  if (text.empty()) {
    *json += messageObject("Error", "Empty file '", fileName, "'");
    return true;
  }
  appendMntrMonitorJson(json, fileName, std::move(text), filterArgs);
  return true;
}

bool readXmlMonitorFile(XmlMonitorKind kind, const MonitorFileTable& open,
                        const std::string& dashFolder, std::string* json, const char* fileName,
                        const std::vector<std::string>& filterArgs) {
  if (appendCommonFailure(open, json, fileName)) return true;
  std::string text;
  const solvarium::FileStatus loaded = loadMonitorFile(dashFolder, fileName, &text);
  if (loaded.code == solvarium::FileStatus::kTooLarge) {
    *json += messageObject("Error", "Insufficient memory to process file '", fileName, "'");
    return true;
  }
  if (!loaded.ok() && loaded.code != solvarium::FileStatus::kReadFailed) {
    std::string after = "'";
    if (kind == XmlMonitorKind::kNlh) {
      char number[32];
      std::snprintf(number, sizeof number, "Error %3d: ", loaded.error);
      after += std::string(", ") + number + std::strerror(loaded.error);
    }
    *json += messageObject("Error", "Opening file '", fileName, after);
    return true;
  }
  // A short read parses the bytes that were read.
  std::string error;
  if (appendXmlMonitorJson(kind, json, fileName, std::move(text), filterArgs, &error)) return true;
  solvarium::diagnostic("parse exception: %s\n", error.c_str());
  return false;
}

bool appendXmlMonitorJson(XmlMonitorKind kind, std::string* json, const std::string& fileName,
                          std::string text, const std::vector<std::string>& filterArgs,
                          std::string* error) {
  const std::string baseName = monitorBaseName(fileName);
  auto run = [&](GrendXmlHandler&& handler) {
    if (!solvarium::parseXmlDocument(text, handler, "MyXML", error)) return false;
    std::string().swap(text);  // the answer is written without the document
    if (!handler.appendTo(json)) {
      if (error != nullptr) *error = "the document did not end";
      return false;
    }
    return true;
  };
  switch (kind) {
    case XmlMonitorKind::kCnd: return run(CXmlToJsonCndHandler(baseName, filterArgs));
    case XmlMonitorKind::kGst: return run(CXmlToJsonGstHandler(baseName, filterArgs));
    case XmlMonitorKind::kNlh: return run(CXmlToJsonNlhHandler(baseName, filterArgs));
  }
  return false;
}

}  // namespace GREND
