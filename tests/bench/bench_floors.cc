#include "tests/bench/bench_floors.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/json_text.h"
#include "service/start_options.h"

namespace solvarium_bench {

namespace {

namespace Solvers = KORLEN_AAS_v1_0_0::Solvers;

// Answers every string operation with its argument.
class EchoScripting : public POA_KORLEN_AAS_v1_0_0::Solvers::ICoScripting {
 public:
  char* getScriptingLanguageId() override { return CORBA::string_dup("echo"); }
  char* getAcessType() override { return CORBA::string_dup("echo"); }
  KORLEN_AAS_v1_0_0::Types::CoStrings* getStatus() override {
    return new KORLEN_AAS_v1_0_0::Types::CoStrings;
  }
  void execute(const char*) override {}
  char* executeToString(const char* command) override { return CORBA::string_dup(command); }
  char* executeDelayed(const char* command) override { return CORBA::string_dup(command); }
  char* retrieveDelayedOutput(const char* ticket) override { return CORBA::string_dup(ticket); }
};

bool writeWhole(const std::string& path, const std::string& text) {
  const std::string temporary = path + ".tmp";
  FILE* file = std::fopen(temporary.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  if (std::fclose(file) != 0 || !written) return false;
  return std::rename(temporary.c_str(), path.c_str()) == 0;
}

}  // namespace

int runEchoServer(const char* iorFile) {
  // The service's own ORB options (message size, code set, time-outs).
  std::vector<std::string> arguments =
      solvarium::orbArguments("solvarium-bench-echo", solvarium::ListenEndpoint{"127.0.0.1", "0"});
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(&argument[0]);
  argv.push_back(nullptr);
  int argc = static_cast<int>(arguments.size());
  CORBA::ORB_var orb = CORBA::ORB_init(argc, argv.data(), "omniORB4");
  CORBA::Object_var rootObject = orb->resolve_initial_references("RootPOA");
  PortableServer::POA_var root = PortableServer::POA::_narrow(rootObject);
  EchoScripting* servant = new EchoScripting;
  PortableServer::ObjectId_var id = root->activate_object(servant);
  CORBA::Object_var reference = root->id_to_reference(id.in());
  CORBA::String_var ior = orb->object_to_string(reference.in());
  root->the_POAManager()->activate();
  if (!writeWhole(iorFile, ior.in())) return 1;
  orb->run();
  return 0;
}

std::string monitorCsv(std::size_t minBytes, int columns) {
  std::string csv = "\"Iteration\"";
  for (int c = 1; c < columns; ++c) {
    csv += c == columns - 1 ? ",\"Unused\"" : ",\"Variable " + std::to_string(c) + "\"";
  }
  csv += "\n";
  csv.reserve(minBytes + 256);
  char cell[32];
  uint64_t x = 0x9e3779b97f4a7c15ULL;
  for (long row = 1; csv.size() < minBytes; ++row) {
    csv += std::to_string(row);
    for (int c = 1; c < columns; ++c) {
      csv += ',';
      if (c == columns - 1) continue;  // a column without any value
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      if (c == 2 && row % 1000 == 0) {
        csv += "nan";
        continue;
      }
      const double mantissa = static_cast<double>(x % 2000000) / 1e6 - 1.0;
      const double value = mantissa * std::pow(10.0, static_cast<int>(x >> 60) - 8);
      const int n = std::snprintf(cell, sizeof cell, "%.6e", value);
      csv.append(cell, static_cast<std::size_t>(n));
    }
    csv += row % 7 == 0 ? "\r\n" : "\n";
  }
  return csv;
}

std::string referencePersistedDataAnswer(const std::string& csv, const std::string& location) {
  // Pass over the bytes: the names of the header, then every cell as an
  // offset pair, row after row.
  const char* text = csv.data();
  const std::size_t size = csv.size();
  std::size_t at = 0;
  while (at < size && (text[at] == '\n' || text[at] == '\r')) ++at;
  std::vector<std::string> names;
  std::size_t lineEnd = csv.find_first_of("\r\n", at);
  if (lineEnd == std::string::npos) lineEnd = size;
  for (std::size_t q = csv.find('"', at); q < lineEnd; q = csv.find('"', q + 1)) {
    const std::size_t close = csv.find('"', q + 1);
    names.push_back(csv.substr(q + 1, close - q - 1));
    q = close;
  }
  const std::size_t columns = names.size();
  std::vector<uint32_t> cells;  // begin, end of each cell
  cells.reserve(size / 4);
  std::size_t rows = 0;
  at = lineEnd;
  while (at < size) {
    if (text[at] == '\n' || text[at] == '\r') {
      ++at;
      continue;
    }
    std::size_t begin = at;
    for (;; ++at) {
      const char c = at < size ? text[at] : '\n';
      if (c == ',' || c == '\n' || c == '\r') {
        cells.push_back(static_cast<uint32_t>(begin));
        cells.push_back(static_cast<uint32_t>(at));
        begin = at + 1;
        if (c != ',') break;
      }
    }
    ++rows;
  }

  // One data array per column with any value.
  std::vector<bool> hasValue(columns, false);
  for (std::size_t i = 0; i < cells.size(); i += 2) {
    if (cells[i + 1] > cells[i]) hasValue[(i / 2) % columns] = true;
  }
  std::string out;
  out.reserve(size * 2);
  out += "[\n\t{\n\t\t\"monitorType\":\t\"DirectoryMonitor\"\n\t\t,\n\t\t\"monitorDir\":\t\"" +
         location + "\"\n\t\t,\n\t\t\"monitorRecords\": " + std::to_string(rows) +
         "\n\t\t,\n\t\t\"xAxis\":\t\"" + names[0] + "\"\n\t\t,\n\t\t\"yAxis\":\n\t\t[\n";
  bool first = true;
  for (std::size_t c = 1; c < columns; ++c) {
    if (!hasValue[c]) continue;
    out += first ? "\t\t\t\"" : "\t\t\t,\n\t\t\t\"";
    first = false;
    out += names[c] + "\"\n";
  }
  out += "\t\t]\n";
  for (std::size_t c = 0; c < columns; ++c) {
    if (!hasValue[c]) continue;
    out += "\t\t,\n\t\t\"" + names[c] + "\":\n\t\t[\n";
    for (std::size_t r = 0; r < rows; ++r) {
      const std::size_t i = 2 * (r * columns + c);
      const std::string value(text + cells[i], cells[i + 1] - cells[i]);
      out += r == 0 ? "\t\t\t" : "\t\t\t,\n\t\t\t";
      if (value.empty()) {
        out += "null";
      } else if (solvarium::isJsonNumber(value)) {
        out += value;
      } else {
        out += solvarium::jsonQuote(value);
      }
      out += '\n';
    }
    out += "\t\t]\n";
  }
  out += "\t}\n]\n";
  return out;
}

namespace {

// Names of the entries of the folder `fd` refers to (the descriptor is
// consumed), with the status of each taken relative to `statusDir`.
template <typename Visit>
void listFolder(int fd, int statusDir, const std::string& prefix, Visit visit) {
  DIR* listing = ::fdopendir(fd);
  if (listing == nullptr) {
    ::close(fd);
    return;
  }
  while (const dirent* entry = ::readdir(listing)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    const std::string path = prefix + entry->d_name;
    struct stat status;
    if (::fstatat(statusDir, path.c_str(), &status, 0) != 0) continue;
    visit(entry->d_name, path, status);
  }
  ::closedir(listing);
}

bool endsWith(const std::string& text, const char* suffix) {
  const std::size_t n = std::strlen(suffix);
  return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

}  // namespace

std::size_t directStorageScan(const std::string& dir) {
  const int top = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (top < 0) return 0;
  std::vector<std::string> runDirectories, resultFiles;
  // Paths are spelled as the service spells them ("./" + name), so that the
  // kernel walks the same components.
  listFolder(::dup(top), top, "./", [&](const char*, const std::string& path,
                                      const struct stat& status) {
    if (S_ISDIR(status.st_mode)) {
      const int inner = ::openat(top, path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
      if (inner < 0) return;
      listFolder(inner, top, path + "/", [&](const char* name, const std::string&,
                                             const struct stat&) {
        if (std::strcmp(name, "gui-err.txt") == 0) runDirectories.push_back(path);
      });
    } else if (endsWith(path, ".res") || endsWith(path, ".mres")) {
      resultFiles.push_back(path);
    }
  });

  const std::string lockName = "/bench.direct." + std::to_string(::getpid()) + ".lock";
  for (const std::string& run : runDirectories) {
    const int lock = ::openat(top, (run + lockName).c_str(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (lock >= 0) ::close(lock);
    struct stat status;
    ::fstatat(top, (run.substr(0, run.size() - 4) + ".res").c_str(), &status, 0);
  }
  std::size_t read = 0;
  char buffer[8192];
  const auto readInformation = [&](const std::string& path) {
    const int fd = ::openat(top, path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    struct stat status;
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode)) {
      std::size_t lines = 0;
      for (ssize_t got; (got = ::read(fd, buffer, sizeof buffer)) > 0;) {
        for (ssize_t i = 0; i < got; ++i) lines += buffer[i] == '\n';
      }
      if (lines > 0) ++read;
    }
    ::close(fd);
  };
  for (const std::string& run : runDirectories) readInformation(run + "/gui-err.txt");
  for (const std::string& result : resultFiles) readInformation(result);
  for (const std::string& run : runDirectories) ::unlinkat(top, (run + lockName).c_str(), 0);
  ::close(top);
  return read;
}

std::size_t peakResidentBytes(pid_t pid) {
  FILE* file = std::fopen(("/proc/" + std::to_string(pid) + "/status").c_str(), "r");
  if (file == nullptr) return 0;
  char line[256];
  std::size_t kib = 0;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    if (std::sscanf(line, "VmHWM: %zu kB", &kib) == 1) break;
  }
  std::fclose(file);
  return kib * 1024;
}

}  // namespace solvarium_bench
