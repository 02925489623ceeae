#include "quennet/xoq/gui_information_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "platform/descriptor.h"
#include "quennet/xoq/error.h"
#include "quennet/xoq/gui_information_observer.h"

namespace xoq {

namespace {

// Splits "keyword rest" at the first blank. False when `line` does not start
// with `keyword` followed by a blank or the end of the line.
bool takeKeyword(std::string_view line, std::string_view keyword, std::string_view* rest) {
  if (line.compare(0, keyword.size(), keyword) != 0) return false;
  if (line.size() == keyword.size()) {
    *rest = std::string_view();
    return true;
  }
  const char next = line[keyword.size()];
  if (next != ' ' && next != '\t') return false;
  *rest = line.substr(keyword.size() + 1);
  return true;
}

// Splits `text` into its first blank-separated word and the rest.
void splitFirstWord(std::string_view text, std::string_view* word, std::string_view* rest) {
  const std::size_t blank = text.find_first_of(" \t");
  if (blank == std::string_view::npos) {
    *word = text;
    *rest = std::string_view();
  } else {
    *word = text.substr(0, blank);
    *rest = text.substr(blank + 1);
  }
}

// Opens `path` for reading when it is a regular file, else -1; a FIFO or
// device never blocks the caller (opened non-blocking, then refused).
int openRegularFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status;
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

bool parseInt32(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  errno = 0;
  char* end = nullptr;
  const long long parsed = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return false;
  if (parsed < INT32_MIN || parsed > INT32_MAX) return false;
  *value = static_cast<int32_t>(parsed);
  return true;
}

}  // namespace

GuiInformationReader::GuiInformationReader(bool isDirectory, const std::string& runPath,
                                           const std::string& sourceName) {
  reopen(isDirectory, runPath, sourceName);
}

void GuiInformationReader::reopen(bool isDirectory, const std::string& runPath,
                                  const std::string& sourceName) {
  // assign() keeps the strings' storage when a reader goes from run to run.
  informationFile_.assign(runPath);
  if (isDirectory) informationFile_.append("/").append(kInformationFileName);
  sourceName_.assign(sourceName);
  offset_ = 0;
}

void GuiInformationReader::addObserver(GuiInformationObserver* observer) {
  if (observer != nullptr) observers_.push_back(observer);
}

bool GuiInformationReader::processNewLines() {
  if (offset_ > static_cast<uint64_t>(LLONG_MAX)) return false;
  const int fd = openRegularFile(informationFile_);
  if (fd < 0) return false;
  const solvarium::platform::Descriptor closer(fd);

  bool readAny = false;
  std::string line;         // kept text of the current line
  uint64_t lineBytes = 0;   // all bytes of the current line, kept or not
  char chunk[8192];
  off_t readAt = static_cast<off_t>(offset_);
  for (;;) {
    const ssize_t n = ::pread(fd, chunk, sizeof chunk, readAt);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    const std::size_t got = static_cast<std::size_t>(n);
    readAt += n;
    for (std::size_t i = 0; i < got; ++i) {
      // The bytes up to the next line end join the line (as far as it is kept).
      const void* found = std::memchr(chunk + i, '\n', got - i);
      const std::size_t stop = found ? static_cast<const char*>(found) - chunk : got;
      if (found != nullptr && lineBytes == 0 && stop - i <= kMaxLineLength) {
        // A whole line inside the chunk is delivered where it lies.
        offset_ += stop - i + 1;
        readAny = true;
        std::string_view complete(chunk + i, stop - i);
        if (!complete.empty() && complete.back() == '\r') complete.remove_suffix(1);
        i = stop;
        processLine(complete);
        continue;
      }
      if (line.size() < kMaxLineLength) {
        line.append(chunk + i, std::min(stop - i, kMaxLineLength - line.size()));
      }
      lineBytes += stop - i;
      i = stop;
      if (found == nullptr) break;
      // Consume the line before delivering it, so that an error line is not
      // read again by the next call.
      offset_ += lineBytes + 1;
      readAny = true;
      const bool overlong = lineBytes > kMaxLineLength;
      lineBytes = 0;
      if (overlong) {
        line.clear();
        continue;
      }
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::string complete;
      complete.swap(line);
      processLine(complete);
    }
  }
  return readAny;
}

void GuiInformationReader::processLine(std::string_view line) {
  std::string_view rest;
  if (takeKeyword(line, "run", &rest)) {
    std::string_view flag, name;
    splitFirstWord(rest, &flag, &name);
    RunDescription run;
    run.multiConfig.assign(flag);
    run.name.assign(name);
    for (GuiInformationObserver* observer : observers_) observer->runDescribed(*this, run);
  } else if (takeKeyword(line, "configuration", &rest)) {
    std::string_view number, name;
    splitFirstWord(rest, &number, &name);
    int32_t value = 0;
    // A malformed number is skipped like any unknown line.
    if (!parseInt32(std::string(number), &value)) return;
    ConfigurationDescription configuration;
    configuration.name.assign(name);
    for (GuiInformationObserver* observer : observers_) {
      observer->configurationFound(*this, value, configuration);
    }
  } else if (takeKeyword(line, "progress", &rest)) {
    std::string_view quantity, value;
    splitFirstWord(rest, &quantity, &value);
    const std::string quantityText(quantity), valueText(value);
    for (GuiInformationObserver* observer : observers_) {
      observer->progressReported(*this, quantityText, valueText);
    }
  } else if (takeKeyword(line, "end", &rest)) {
    const std::string reason(rest);
    for (GuiInformationObserver* observer : observers_) observer->runEnded(*this, reason);
  } else if (takeKeyword(line, "message", &rest)) {
    const std::string text(rest);
    for (GuiInformationObserver* observer : observers_) observer->messageReported(*this, text);
  } else if (takeKeyword(line, "error", &rest)) {
    throw Error(sourceName_ + ": " + std::string(rest));
  }
  // Anything else (comments, blank lines, unknown keywords) is skipped.
}

}  // namespace xoq
