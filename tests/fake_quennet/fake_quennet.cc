// Test-only libQuennet.so: answers the run status from a plain text file in
// the scanned directory instead of reading Brox runs.
//
// "fake_quennet_runs.txt": one run per line, fields separated by TAB:
//   key  name  multiConfig(0|1)  completed(0|1)  exitReason  config,config,...
// "fake_quennet_fail.txt": when present, get_BroxStatus fails with its text.
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "quennet/brox_status.h"

#define FAKE_QUENNET_EXPORT extern "C" __attribute__((visibility("default")))

BroxStatusReader::BroxStatusReader(const char* dir) : directory(dir ? dir : ".") {}
BroxStatusReader::~BroxStatusReader() = default;

namespace {

std::vector<std::string> split(const std::string& text, char sep) {
  std::vector<std::string> parts;
  std::string part;
  std::istringstream in(text);
  while (std::getline(in, part, sep)) parts.push_back(part);
  if (!text.empty() && text.back() == sep) parts.push_back(std::string());
  return parts;
}

// Copies `message` into the caller's buffer: 1 when whole, -1 when cut.
int32_t fail(const std::string& message, char** buffer, int32_t length) {
  if (length <= 0 || buffer == nullptr || *buffer == nullptr) return -1;
  size_t room = static_cast<size_t>(length) - 1;
  size_t n = message.size() < room ? message.size() : room;
  std::memcpy(*buffer, message.data(), n);
  (*buffer)[n] = '\0';
  return message.size() <= room ? 1 : -1;
}

}  // namespace

FAKE_QUENNET_EXPORT int32_t Zemvo(const void*) { return 0; }

FAKE_QUENNET_EXPORT int32_t get_BroxStatus(const char* directory, BroxStatusReader** status,
                                           char** messageBuffer, int32_t messageLength) {
  std::string dir = directory ? directory : ".";
  std::ifstream failFile(dir + "/fake_quennet_fail.txt", std::ios::binary);
  if (failFile) {
    std::ostringstream text;
    text << failFile.rdbuf();
    return fail(text.str(), messageBuffer, messageLength);
  }
  BroxStatusReader* reader = new BroxStatusReader(directory);
  std::ifstream runs(dir + "/fake_quennet_runs.txt");
  std::string line;
  while (std::getline(runs, line)) {
    std::vector<std::string> f = split(line, '\t');
    if (f.empty() || f[0].empty()) continue;
    f.resize(6);
    StatusRecord& r = reader->results[f[0]];
    r.name = f[1];
    r.multiConfig = f[2] == "1";
    r.completed = f[3] == "1";
    r.exitReason = f[4];
    int32_t index = 0;
    for (const std::string& c : split(f[5], ','))
      if (!c.empty()) r.configurations[c] = index++;
  }
  *status = reader;
  return 0;
}

FAKE_QUENNET_EXPORT int32_t release_BroxStatus(BroxStatusReader** status, char**, int32_t) {
  if (status == nullptr || *status == nullptr) return 0;
  delete *status;
  *status = nullptr;
  return 0;
}
