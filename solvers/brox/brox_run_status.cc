#include "solvers/brox/brox_run_status.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/json_text.h"
#include "platform/dynamic_library.h"
#include "platform/platform_names.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_storage_commands.h"

namespace BROX {

std::string QuennetErrorText;

namespace {

constexpr int32_t kMessageBufferLength = 256;

// Binding state, one per process.
GetBroxStatusFn getBroxStatusFn = nullptr;
ReleaseBroxStatusFn releaseBroxStatusFn = nullptr;
bool quennetLoadFailed = false;

// Error number and text, then the environment and directory of diagnosticText.
std::string diagnostics(int errorNumber, const std::string& errorMessage) {
  return BroxMonitors::diagnosticText("\nerrno:\n" + std::to_string(errorNumber) + "\n" +
                                      "\nerror message:\n" + errorMessage + "\n");
}

// Loads the library and binds both functions; false (with QuennetErrorText
// set and the failure made final) when that is not possible.
bool bindQuennet() {
  const auto fail = [](const std::string& text) {
    QuennetErrorText = text;
    quennetLoadFailed = true;
    return false;
  };
  const std::string path = quennetLibraryPath();
  struct stat status;
  if (::stat(path.c_str(), &status) != 0) {
    const int errorNumber = errno;
    return fail("Error:" + path + " file is missing!" +
                diagnostics(errorNumber, std::strerror(errorNumber)));
  }
  errno = 0;
  std::string loadError;
  void* library = solvarium::platform::openLibrary(path, false, &loadError);
  if (library == nullptr) {
    const int errorNumber = errno;
    return fail("Error:Loading of " + path + " failed!\n" + diagnostics(errorNumber, loadError));
  }
  std::string symbolError;
  void* getSymbol =
      solvarium::platform::findSymbol(library, QUENNET_GET_STATUS_SYMBOL, &symbolError);
  if (getSymbol == nullptr) {
    solvarium::platform::closeLibrary(library);
    return fail("Error:Loading of " + path + "::get_BroxStatus failed!");
  }
  void* releaseSymbol =
      solvarium::platform::findSymbol(library, QUENNET_RELEASE_STATUS_SYMBOL, &symbolError);
  if (releaseSymbol == nullptr) {
    solvarium::platform::closeLibrary(library);
    return fail("Error:Loading of " + path + "::release_BroxStatus failed!");
  }
  getBroxStatusFn = reinterpret_cast<GetBroxStatusFn>(getSymbol);
  releaseBroxStatusFn = reinterpret_cast<ReleaseBroxStatusFn>(releaseSymbol);
  return true;
}

// Appends `text` as a quoted JSON string.
void appendJsonQuoted(const char* value, std::size_t size, std::string* text) {
  const std::size_t start = text->size();
  text->resize(start + solvarium::jsonQuotedSize(std::string_view(value, size)));
  solvarium::writeJsonQuoted(&(*text)[start], std::string_view(value, size));
}

std::string tabsOf(int indent) {
  return std::string(static_cast<std::size_t>(indent > 0 ? indent : 0), '\t');
}

}  // namespace

BroxStatusHandle::~BroxStatusHandle() { releaseBroxStatus(this); }

std::string quennetLibraryPath() {
  const char* binDir = std::getenv("BROXBINDIR");
  std::string path = binDir != nullptr ? binDir : "";
  path += "/";
  path += solvarium::platform::kPlatformDir;
  path += "/";
  path += solvarium::platform::kQuennetLibrary;
  return path;
}

void loadBroxStatus(BroxStatusHandle* handle) {
  handle->reader = nullptr;
  if (quennetLoadFailed) {
    handle->result = 1;
    return;
  }
  if ((getBroxStatusFn == nullptr || releaseBroxStatusFn == nullptr) && !bindQuennet()) {
    handle->result = 1;
    return;
  }
  // The library writes into our buffer through the pointer; the storage stays ours.
  std::vector<char> storage(kMessageBufferLength, '\0');
  char* buffer = storage.data();
  int32_t result;
  try {
    result = getBroxStatusFn(".", &handle->reader, &buffer, kMessageBufferLength);
  } catch (...) {
    result = 1;
    std::strncpy(storage.data(), "Unknown exception caught:\n", kMessageBufferLength - 1);
  }
  storage[kMessageBufferLength - 1] = '\0';
  if (result == 0 && handle->reader == nullptr) {
    // A success without a status object would leave nothing to read.
    result = 1;
    std::strncpy(storage.data(), "Run status library returned no status",
                 kMessageBufferLength - 1);
  }
  handle->result = result;
  QuennetErrorText = result != 0 ? std::string(storage.data()) : std::string();
}

void releaseBroxStatus(BroxStatusHandle* handle) {
  if (handle->reader == nullptr) return;
  if (releaseBroxStatusFn == nullptr) {  // cannot happen once a reader exists
    handle->reader = nullptr;
    return;
  }
  std::vector<char> storage(kMessageBufferLength, '\0');
  char* buffer = storage.data();
  try {
    releaseBroxStatusFn(&handle->reader, &buffer, kMessageBufferLength);
  } catch (...) {
  }
  handle->reader = nullptr;
}

std::string statusFailureText(const BroxStatusHandle& handle) {
  std::string text = QuennetErrorText;
  if (handle.result == -1) text += "\nTruncated message\n";
  return text;
}

void raiseIfStatusFailed(const BroxStatusHandle& handle, const std::string& command) {
  if (handle.result != 0) raiseScriptError(command, statusFailureText(handle));
}

void loadBroxStatusOrRaise(BroxStatusHandle* handle, const std::string& command) {
  loadBroxStatus(handle);
  raiseIfStatusFailed(*handle, command);
}

void writeStatusListJson(const BroxStatusReader::ResultMap& results, int indent,
                         std::string* text) {
  const std::string tabs = tabsOf(indent);
  text->reserve(text->size() + results.size() * (96 + 4 * tabs.size()));
  text->append(tabs).append("{\n");
  bool first = true;
  for (const auto& run : results) {
    if (!first) text->append(tabs).append("\t,\n");
    first = false;
    const std::string& key = run.first;
    const std::size_t skip = key.compare(0, 2, "./") == 0 ? 2 : 0;
    text->append(tabs).append("\t");
    appendJsonQuoted(key.data() + skip, key.size() - skip, text);
    text->append(":\n").append(tabs);
    writeStatusEntryJson(run.second, indent + 1, text);
    text->append("\n");
  }
  text->append(tabs).append("}\n");
}

void writeStatusEntryJson(const StatusRecord& record, int indent, std::string* text) {
  const std::string tabs = tabsOf(indent);
  text->append(tabs).append("{\n").append(tabs).append("\t\"Name\":");
  appendJsonQuoted(record.name.data(), record.name.size(), text);
  text->append("\n").append(tabs).append(record.completed ? "\t,\"Completed\":true\n"
                                                           : "\t,\"Completed\":false\n");
  if (record.completed) {
    text->append(tabs).append("\t,\"ExitReason\":");
    appendJsonQuoted(record.exitReason.data(), record.exitReason.size(), text);
    text->append("\n");
  }
  if (record.multiConfig) {
    text->append(tabs).append("\t,\"MultiConfig\":[");
    bool first = true;
    for (const auto& configuration : record.configurations) {
      if (!first) text->append(",");
      first = false;
      appendJsonQuoted(configuration.first.data(), configuration.first.size(), text);
    }
    text->append("]\n");
  }
  text->append(tabs).append("}\n");
}

void TEST_resetQuennetBinding() {
  getBroxStatusFn = nullptr;
  releaseBroxStatusFn = nullptr;
  quennetLoadFailed = false;
  QuennetErrorText.clear();
}

}  // namespace BROX
