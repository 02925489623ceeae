#include "solvers/grend/grend_monitor_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <new>
#include <utility>

#include "common/confined_path.h"
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

enum class LoadResult { kOk, kCannotOpen, kTooLarge, kShortRead };

// Opens the monitor file `path` (a relative name from the working
// directory) when it resolves to a regular file inside the monitor folder;
// -1 with errno set.
int openMonitorFile(const std::string& path) {
  const std::string folder = monitorFolder();
  std::string name = path;
  if (name.empty() || name[0] != '/') {
    const std::string cwd = solvarium::realPathOf(".");
    name = cwd.empty() ? std::string() : cwd + (cwd == "/" ? "" : "/") + path;
  }
  if (folder.empty() || name.empty()) {
    errno = ENOENT;
    return -1;
  }
  return solvarium::openConfinedRegularFile(folder, name);
}

// Reads the whole monitor file `path` into `text`. A name that does not
// resolve to a regular file inside the monitor folder (a link leading out
// of it, a directory, FIFO or device) is not opened (kCannotOpen, errno
// set); a file over kMaxMonitorFileBytes or one that memory cannot hold is
// kTooLarge; a read that ends early is kShortRead with the bytes read kept.
LoadResult loadMonitorFile(const std::string& path, std::string* text) {
  const int fd = openMonitorFile(path);
  if (fd < 0) return LoadResult::kCannotOpen;
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    errno = error;
    return LoadResult::kCannotOpen;
  }
  const uint64_t size = static_cast<uint64_t>(info.st_size);
  if (size > kMaxMonitorFileBytes) {
    ::close(fd);
    return LoadResult::kTooLarge;
  }
  try {
    text->resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    ::close(fd);
    return LoadResult::kTooLarge;
  }
  std::size_t done = 0;
  while (done < text->size()) {
    const ssize_t got = ::read(fd, &(*text)[done], text->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (done < text->size()) {
    text->resize(done);
    return LoadResult::kShortRead;
  }
  return LoadResult::kOk;
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

std::string monitorFolder() {
  const char* folder = std::getenv("GREND_DASH_DIR_FOLDER");
  std::string path = folder != nullptr && *folder != '\0' ? folder : ".";
  std::replace(path.begin(), path.end(), '\\', '/');
  return solvarium::realPathOf(path);
}

bool readMntrMonitorFile(const MonitorFileTable& open, std::string* json, const char* fileName,
                         const std::vector<std::string>& filterArgs) {
  if (appendCommonFailure(open, json, fileName)) return true;
  std::string text;
  switch (loadMonitorFile(fileName, &text)) {
    case LoadResult::kCannotOpen:
      *json += messageObject("Error", "Opening file '", fileName, "'");
      return true;
    case LoadResult::kTooLarge:
      *json += messageObject("Error", "Insufficient memory to process file '", fileName, "'");
      return true;
    case LoadResult::kShortRead:
      *json += messageObject("Error", "Error reading file '", fileName, "'");
      return true;
    case LoadResult::kOk:
      break;
  }
  if (text.empty()) {
    *json += messageObject("Error", "Empty file '", fileName, "'");
    return true;
  }
  appendMntrMonitorJson(json, fileName, std::move(text), filterArgs);
  return true;
}

bool readXmlMonitorFile(XmlMonitorKind kind, const MonitorFileTable& open, std::string* json,
                        const char* fileName, const std::vector<std::string>& filterArgs) {
  if (appendCommonFailure(open, json, fileName)) return true;
  std::string text;
  const LoadResult loaded = loadMonitorFile(fileName, &text);
  if (loaded == LoadResult::kCannotOpen) {
    std::string after = "'";
    if (kind == XmlMonitorKind::kNlh) {
      const int error = errno;
      char number[32];
      std::snprintf(number, sizeof number, "Error %3d: ", error);
      after += std::string(", ") + number + std::strerror(error);
    }
    *json += messageObject("Error", "Opening file '", fileName, after);
    return true;
  }
  if (loaded == LoadResult::kTooLarge) {
    *json += messageObject("Error", "Insufficient memory to process file '", fileName, "'");
    return true;
  }
  // A short read parses the bytes that were read.
  std::string error;
  if (appendXmlMonitorJson(kind, json, fileName, std::move(text), filterArgs, &error)) return true;
  std::cerr << "parse exception: " << error << std::endl;
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
