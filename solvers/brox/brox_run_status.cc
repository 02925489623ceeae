#include "solvers/brox/brox_run_status.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <vector>

#include "common/diagnostics.h"
#include "common/json_text.h"
#include "platform/dynamic_library.h"
#include "platform/platform_names.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_errors.h"

namespace BROX {

namespace {

constexpr int32_t kMessageBufferLength = 256;

// Binding state, one per process.
GetBroxStatusFn getBroxStatusFn = nullptr;
ReleaseBroxStatusFn releaseBroxStatusFn = nullptr;
std::string bindingFailure;  // the message of a failed binding, which is final

// Error number and text, then the environment and directory of diagnosticText.
std::string diagnostics(int errorNumber, const std::string& errorMessage) {
  return BroxMonitors::diagnosticText("\nerrno:\n" + std::to_string(errorNumber) + "\n" +
                                      "\nerror message:\n" + errorMessage + "\n");
}

// Loads the library and binds both functions; false (with bindingFailure
// set, which makes the failure final) when that is not possible.
bool bindQuennet(const std::string& binDir) {
  const auto fail = [](const std::string& text) {
    bindingFailure = text;
    return false;
  };
  const std::string path = quennetLibraryPath(binDir);
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
  const char* const names[] = {QUENNET_GET_STATUS_SYMBOL, QUENNET_RELEASE_STATUS_SYMBOL};
  void* symbols[2];
  for (int i = 0; i < 2; ++i) {
    std::string symbolError;
    symbols[i] = solvarium::platform::findSymbol(library, names[i], &symbolError);
    if (symbols[i] == nullptr) {
      solvarium::platform::closeLibrary(library);
      return fail("Error:Loading of " + path + "::" + names[i] + " failed!");
    }
  }
  getBroxStatusFn = reinterpret_cast<GetBroxStatusFn>(symbols[0]);
  releaseBroxStatusFn = reinterpret_cast<ReleaseBroxStatusFn>(symbols[1]);
  return true;
}

std::string tabsOf(int indent) {
  return std::string(static_cast<std::size_t>(indent > 0 ? indent : 0), '\t');
}

// Sinks of the status JSON writer: one counts the bytes, the other writes
// them into a buffer of that size, so that the answer is built in one place.
class CountingSink {
 public:
  void put(std::string_view bytes) { size_ += bytes.size(); }
  void quoted(std::string_view value) { size_ += solvarium::jsonQuotedSize(value); }
  std::size_t size() const { return size_; }

 private:
  std::size_t size_ = 0;
};

class WritingSink {
 public:
  explicit WritingSink(char* out) : out_(out) {}
  void put(std::string_view bytes) {
    std::memcpy(out_, bytes.data(), bytes.size());
    out_ += bytes.size();
  }
  void quoted(std::string_view value) { out_ = solvarium::writeJsonQuoted(out_, value); }
  char* end() const { return out_; }

 private:
  char* out_;
};

// One run's object; `tabs` is its indentation.
template <typename Sink>
void putStatusEntry(const StatusRecord& record, std::string_view tabs, Sink* sink) {
  sink->put(tabs);
  sink->put("{\n");
  sink->put(tabs);
  sink->put("\t\"Name\":");
  sink->quoted(record.name);
  sink->put("\n");
  sink->put(tabs);
  sink->put(record.completed ? "\t,\"Completed\":true\n" : "\t,\"Completed\":false\n");
  if (record.completed) {
    sink->put(tabs);
    sink->put("\t,\"ExitReason\":");
    sink->quoted(record.exitReason);
    sink->put("\n");
  }
  if (record.multiConfig) {
    sink->put(tabs);
    sink->put("\t,\"MultiConfig\":[");
    bool first = true;
    for (const auto& configuration : record.configurations) {
      if (!first) sink->put(",");
      first = false;
      sink->quoted(configuration.first);
    }
    sink->put("]\n");
  }
  sink->put(tabs);
  sink->put("}\n");
}

template <typename Sink>
void putStatusList(const BroxStatusReader::ResultMap& results, int indent, Sink* sink) {
  const std::string tabs = tabsOf(indent);
  const std::string entryTabs = tabsOf(indent + 1);
  sink->put(tabs);
  sink->put("{\n");
  bool first = true;
  for (const auto& run : results) {
    if (!first) {
      sink->put(tabs);
      sink->put("\t,\n");
    }
    first = false;
    std::string_view key = run.first;
    if (key.compare(0, 2, "./") == 0) key.remove_prefix(2);
    sink->put(tabs);
    sink->put("\t");
    sink->quoted(key);
    sink->put(":\n");
    sink->put(tabs);
    putStatusEntry(run.second, entryTabs, sink);
    sink->put("\n");
  }
  sink->put(tabs);
  sink->put("}\n");
}

}  // namespace

BroxStatusHandle::~BroxStatusHandle() { releaseBroxStatus(this); }

std::string quennetLibraryPath(const std::string& binDir) {
  std::string path = binDir + "/";
  path += solvarium::platform::kPlatformDir;
  path += "/";
  path += solvarium::platform::kQuennetLibrary;
  return path;
}

void loadBroxStatus(BroxStatusHandle* handle, const std::string& binDir) {
  handle->reader = nullptr;
  if (!bindingFailure.empty() ||
      ((getBroxStatusFn == nullptr || releaseBroxStatusFn == nullptr) && !bindQuennet(binDir))) {
    handle->result = 1;
    handle->errorText = bindingFailure;
    return;
  }
  // The library writes into our buffer through the pointer; the storage stays ours.
  std::vector<char> storage(kMessageBufferLength, '\0');
  char* buffer = storage.data();
  int32_t result = 1;
  {
    // The library's lock files are listed for the end before it can look.
    const solvarium::platform::Making making;
    if (!making.allowed()) solvarium::platform::waitForTheEnd();
    try {
      if (making.allowed()) {
        result = getBroxStatusFn(".", &handle->reader, &buffer, kMessageBufferLength);
      }
    } catch (...) {
      solvarium::diagnostic("get_BroxStatus failed: %s\n", currentFailureText().c_str());
      result = 1;
      std::strncpy(storage.data(), "Unknown exception caught:\n", kMessageBufferLength - 1);
    }
    if (result == 0 && handle->reader != nullptr) {
      for (const std::string& lock : handle->reader->lockFiles) {
        handle->lockFiles.emplace_back(AT_FDCWD, lock);
      }
    }
  }
  storage[kMessageBufferLength - 1] = '\0';
  if (result == 0 && handle->reader == nullptr) {
    // A success without a status object would leave nothing to read.
    result = 1;
    std::strncpy(storage.data(), "Run status library returned no status",
                 kMessageBufferLength - 1);
  }
  handle->result = result;
  handle->errorText = result != 0 ? std::string(storage.data()) : std::string();
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
    solvarium::diagnostic("release_BroxStatus failed: %s\n", currentFailureText().c_str());
  }
  handle->reader = nullptr;
  handle->lockFiles.clear();
}

std::string statusFailureText(const BroxStatusHandle& handle) {
  std::string text = handle.errorText;
  if (handle.result == -1) text += "\nTruncated message\n";
  return text;
}

void loadBroxStatusOrRaise(BroxStatusHandle* handle, const std::string& binDir,
                           const std::string& command) {
  loadBroxStatus(handle, binDir);
  if (handle->result != 0) raiseScriptError(command, statusFailureText(*handle));
}

std::size_t statusListJsonSize(const BroxStatusReader::ResultMap& results, int indent) {
  CountingSink counter;
  putStatusList(results, indent, &counter);
  return counter.size();
}

char* writeStatusListJson(const BroxStatusReader::ResultMap& results, int indent, char* out) {
  WritingSink writer(out);
  putStatusList(results, indent, &writer);
  return writer.end();
}

void writeStatusListJson(const BroxStatusReader::ResultMap& results, int indent,
                         std::string* text) {
  const std::size_t start = text->size();
  text->resize(start + statusListJsonSize(results, indent));
  writeStatusListJson(results, indent, &(*text)[start]);
}

void TEST_resetQuennetBinding() {
  getBroxStatusFn = nullptr;
  releaseBroxStatusFn = nullptr;
  bindingFailure.clear();
}

}  // namespace BROX
