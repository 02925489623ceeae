// Run-information reader. Input: one byte giving where the file is cut, then
// the file, in which a byte 0x01 doubles the line written so far (so that
// short inputs reach lines across the reader's chunks and over its line
// limit). Properties: reading the file in two steps (the first part, then
// the rest appended, as a solver writes it) gives exactly the notifications
// and errors of reading it whole; the messages are those of the file's lines;
// no notification holds a line end; the run record follows the notifications;
// a read with nothing new reads nothing.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "quennet/brox_storage_observer.h"
#include "quennet/xoq/error.h"
#include "quennet/xoq/gui_information_observer.h"
#include "quennet/xoq/gui_information_reader.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/support/files.h"

using solvarium_fuzz::check;
using solvarium_test::appendFile;
using solvarium_test::writeFile;

namespace {

// Every notification as one line of text, in order.
class LoggingObserver : public xoq::GuiInformationObserver {
 public:
  void configurationFound(const xoq::GuiInformationReader&, int32_t number,
                          const xoq::ConfigurationDescription& configuration) override {
    add("configuration", std::to_string(number) + " " + configuration.name);
  }
  void runDescribed(const xoq::GuiInformationReader&, const xoq::RunDescription& run) override {
    add("run", run.multiConfig + " " + run.name);
  }
  void progressReported(const xoq::GuiInformationReader&, const std::string& quantity,
                        const std::string& value) override {
    add("progress", quantity + "|" + value);
  }
  void runEnded(const xoq::GuiInformationReader&, const std::string& reason) override {
    add("end", reason);
  }
  void messageReported(const xoq::GuiInformationReader&, const std::string& text) override {
    add("message", text);
  }
  void add(const std::string& kind, const std::string& text) {
    check(text.find('\n') == std::string::npos, "line end in a notification", text);
    log.push_back(kind + " " + text);
  }
  std::vector<std::string> log;
};

// The temporary file, removed at exit (the clean-up is registered once the
// path exists, so it runs before the path is destroyed).
const std::string& filePath() {
  static const std::string path = [] {
    std::string templ =
        std::string(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp") +
        "/solvarium-run-information-XXXXXX";
    const int fd = ::mkstemp(&templ[0]);
    if (fd >= 0) ::close(fd);
    return templ;
  }();
  static const int cleanUp = std::atexit([] { ::unlink(path.c_str()); });
  (void)cleanUp;
  return path;
}

const uint8_t kDoubleLine = 0x01;
const std::size_t kMaxFileSize = 256 * 1024;

std::string fileText(const uint8_t* data, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] != kDoubleLine) {
      text += static_cast<char>(data[i]);
      continue;
    }
    const std::size_t lineStart = text.rfind('\n') + 1;  // 0 when there is none
    if (2 * text.size() - lineStart <= kMaxFileSize) text += text.substr(lineStart);
  }
  return text;
}

// The message notifications of the file's complete lines: a line of more
// than kMaxLineLength bytes is skipped, one CR before a line end dropped.
std::vector<std::string> expectedMessages(const std::string& text) {
  std::vector<std::string> messages;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    if (end - start > xoq::GuiInformationReader::kMaxLineLength) continue;
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line == "message") messages.push_back("message ");
    const std::size_t blank = line.find_first_of(" \t");
    if (blank == 7 && line.compare(0, 7, "message") == 0) {
      messages.push_back("message " + line.substr(8));
    }
  }
  return messages;
}

// Reads everything new, noting errors in the log; false when nothing was read.
bool readAll(xoq::GuiInformationReader& reader, LoggingObserver& log) {
  bool any = false;
  for (int round = 0; round < 100000; ++round) {
    try {
      any = reader.processNewLines() || any;
      return any;
    } catch (const xoq::Error& e) {
      log.add("error", e.message());
      any = true;
    }
  }
  solvarium_fuzz::propertyFailed("errors never end", "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string text = fileText(data + 1, size - 1);
  const std::size_t cut = text.empty() ? 0 : data[0] * text.size() / 255;

  writeFile(filePath(), text);
  xoq::GuiInformationReader whole(false, filePath(), "run");
  LoggingObserver wholeLog;
  BROX::CBroxStorageObserver record;
  whole.addObserver(&wholeLog);
  whole.addObserver(&record);
  const bool readWhole = readAll(whole, wholeLog);
  check(readWhole == (text.find('\n') != std::string::npos), "read result differs from the lines");
  check(!readAll(whole, wholeLog), "second read found new lines");
  std::vector<std::string> messages;
  for (const std::string& line : wholeLog.log) {
    if (line.rfind("message ", 0) == 0) messages.push_back(line);
  }
  check(messages == expectedMessages(text), "messages differ from the lines", text);

  writeFile(filePath(), text.substr(0, cut));
  xoq::GuiInformationReader steps(false, filePath(), "run");
  LoggingObserver stepLog;
  steps.addObserver(&stepLog);
  readAll(steps, stepLog);
  appendFile(filePath(), text.substr(cut));
  readAll(steps, stepLog);
  std::string wholeText, stepText;
  for (const std::string& line : wholeLog.log) wholeText += line + "\n";
  for (const std::string& line : stepLog.log) stepText += line + "\n";
  check(wholeLog.log == stepLog.log, "reading in two steps differs",
        wholeText + "----\n" + stepText);

  // The record holds the last run description, every configuration's last
  // number and the last end reason.
  StatusRecord expected;
  for (const std::string& line : wholeLog.log) {
    const std::size_t blank = line.find(' ');
    const std::string kind = line.substr(0, blank);
    const std::string rest = line.substr(blank + 1);
    const std::size_t bar = rest.find(' ');  // after the flag or number, which hold no blank
    if (kind == "run") {
      expected.multiConfig = rest.substr(0, bar) == "True";
      expected.name = rest.substr(bar + 1);
    } else if (kind == "configuration") {
      expected.configurations[rest.substr(bar + 1)] = std::atoi(rest.substr(0, bar).c_str());
    } else if (kind == "end") {
      expected.completed = true;
      expected.exitReason = rest;
    }
  }
  const StatusRecord& got = record.record();
  check(got.name == expected.name && got.multiConfig == expected.multiConfig &&
            got.completed == expected.completed && got.exitReason == expected.exitReason &&
            got.configurations == expected.configurations,
        "run record differs from the notifications", wholeText);
  return 0;
}
