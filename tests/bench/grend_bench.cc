// Benchmark of the Grend monitor readers: a generated ".mntr" file and a
// generated ".gst" file (100 MB each; SOLVARIUM_BENCH_MB overrides) turned
// into JSON, in MB/s against a plain read of the same file, at a quarter and
// at the full size (to show that the time is linear in the size), with the
// peak memory each conversion adds; then the XML gate on one long token of
// each kind and on many small elements. Each measurement runs in a child process
// whose peak resident set is reset first. Not registered with ctest:
//   cmake --build build --target grend_bench && build/tests/grend_bench
#include <ACEXML/common/DefaultHandler.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>

#include "common/safe_file.h"
#include "common/xml_document.h"
#include "platform/temp_dir.h"
#include "solvers/grend/grend_monitor_files.h"

namespace {

using Clock = std::chrono::steady_clock;

double megabytes(double bytes) { return bytes / (1024.0 * 1024.0); }

long statusKilobytes(const char* field) {
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.compare(0, std::strlen(field), field) == 0) {
      return std::strtol(line.c_str() + std::strlen(field), nullptr, 10);
    }
  }
  return 0;
}

struct Measure {
  double seconds = 0;
  double peakBytes = 0;  // resident memory added at the peak
  std::size_t outputBytes = 0;
};

// Runs `work` in a child process; its time and the peak resident memory it
// added (VmHWM after, less VmRSS before, with the peak reset first).
Measure inChild(const std::function<std::size_t()>& work) {
  int fds[2];
  if (::pipe(fds) != 0) std::abort();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = statusKilobytes("VmRSS:");
    const Clock::time_point start = Clock::now();
    Measure m;
    m.outputBytes = work();
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakBytes = static_cast<double>(statusKilobytes("VmHWM:") - before) * 1024.0;
    if (::write(fds[1], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  Measure m;
  if (::read(fds[0], &m, sizeof m) != static_cast<ssize_t>(sizeof m)) std::abort();
  ::close(fds[0]);
  ::waitpid(pid, nullptr, 0);
  return m;
}

// A ".mntr" file of about `bytes`: banner, two-line header, six columns.
std::string mntrText(std::size_t bytes) {
  std::string text =
      "Solution monitor\nKORLEN Grend bench\n LOAD  SUB-  TOTL  TOTAL         FORCE         "
      "MOMENT\n STEP  STEP  ITER  TIME/LFACT    CONV          CONV\n";
  char row[160];
  for (long r = 0; text.size() < bytes; ++r) {
    const int n = std::snprintf(row, sizeof row, "%6ld%6ld%6ld  %12.5E  %12.5E  %12.5E\n",
                                r / 100 + 1, r % 100 + 1, r + 1, 0.001 * static_cast<double>(r),
                                1.0 / static_cast<double>(r + 1), 2.5e-3);
    text.append(row, static_cast<std::size_t>(n));
  }
  return text;
}

// A ".gst" file of about `bytes`: stretches of 1 MB whose times rise, so
// that they merge into one persisted-data member.
std::string gstText(std::size_t bytes) {
  std::string text = "<?xml version=\"1.0\"?>\n<SOLUTION>\n";
  char row[160];
  long r = 0;
  while (text.size() < bytes) {
    text +=
        "<LOADSTEPDATA><HEADER><UNITS>N</UNITS><COLUMN ID=\"1\">Time</COLUMN>"
        "<COLUMN ID=\"2\">Load Step</COLUMN><COLUMN ID=\"3\">Sub-step</COLUMN>"
        "<COLUMN ID=\"4\">Cum Iter</COLUMN><COLUMN ID=\"5\">Force</COLUMN></HEADER>\n<COLDATA>\n";
    const std::size_t end = text.size() + 1024 * 1024;
    while (text.size() < end) {
      const int n = std::snprintf(row, sizeof row, "%.6f %ld %ld %ld %.6E\n",
                                  0.001 * static_cast<double>(r + 1), r / 100 + 1, r % 100 + 1,
                                  r + 1, 1.0 / static_cast<double>(r + 1));
      text.append(row, static_cast<std::size_t>(n));
      ++r;
    }
    text += "</COLDATA></LOADSTEPDATA>\n";
  }
  return text + "</SOLUTION>\n";
}

// The gate's best of three times on `open`, `unit` repeated, `close`: 2 per doubling when linear.
void reportGate(long fullMb) {
  const char* const shapes[][4] = {{"many small elements", "<a>", "<b x=\"1\">t</b>", "</a>"},
                                   {"an attribute name", "<a ", "n", "=\"1\"/>"},
                                   {"an attribute value", "<a x=\"", "v", "\"/>"},
                                   {"a comment", "<a><!--", "c", "--></a>"},
                                   {"blanks in a start tag", "<a", " ", "/>"}};
  for (const auto& shape : shapes) {
    double seconds[2] = {1e9, 1e9};
    for (int round = 0; round < 6; ++round) {
      std::string text = shape[1];
      while (text.size() < static_cast<std::size_t>(fullMb) << (19 + round % 2)) text += shape[2];
      text += shape[3];
      const Measure m = inChild([&text] {
        ACEXML_DefaultHandler handler;
        return std::size_t{solvarium::parseXmlDocument(text, handler, "bench", nullptr)};
      });
      if (m.seconds < seconds[round % 2]) seconds[round % 2] = m.seconds;
    }
    std::printf("xml gate, %-22s %5.2f s, at %ld MB %5.2f s: x%.2f per doubling\n", shape[0],
                seconds[0], fullMb, seconds[1], seconds[1] / seconds[0]);
  }
}

void report(const char* kind, const std::string& path, std::size_t size,
            const std::function<std::size_t()>& convert) {
  const Measure read = inChild([&] {
    std::string data;
    solvarium::readWholeFile(path, &data, nullptr);
    return data.size();
  });
  const Measure json = inChild(convert);
  const double mb = megabytes(static_cast<double>(size));
  std::printf(
      "grend %-5s %7.1f MB: plain read %8.1f MB/s; to JSON %7.1f MB/s (%5.1f s, %.1f MB of "
      "JSON); peak +%.1f MB = %.2fx the file\n",
      kind, mb, mb / read.seconds, mb / json.seconds, json.seconds,
      megabytes(static_cast<double>(json.outputBytes)), megabytes(json.peakBytes),
      json.peakBytes / static_cast<double>(size));
  std::fflush(stdout);
}

}  // namespace

int main() {
  const char* text = std::getenv("SOLVARIUM_BENCH_MB");
  const long full = text != nullptr ? std::strtol(text, nullptr, 10) : 100;
  solvarium::platform::TempDir dir;
  if (!dir.ok() || full < 4 || full > 4000) return 1;
  // Monitor files are read only inside the monitor folder.
  const std::string& folder = dir.path();
  const GREND::MonitorFileTable none;
  for (const long mb : {full / 4, full}) {
    const std::size_t bytes = static_cast<std::size_t>(mb) * 1024 * 1024;
    const std::string mntr = dir.file("bench.mntr");
    const std::string gst = dir.file("bench.gst");
    solvarium::writeFileAtomically(mntr, mntrText(bytes), nullptr);
    solvarium::writeFileAtomically(gst, gstText(bytes), nullptr);
    report(".mntr", mntr, bytes, [&] {
      std::string json;
      GREND::readMntrMonitorFile(none, folder, &json, mntr.c_str(), {});
      return json.size();
    });
    report(".gst", gst, bytes, [&] {
      std::string json;
      GREND::readXmlMonitorFile(GREND::XmlMonitorKind::kGst, none, folder, &json, gst.c_str(),
                                {});
      return json.size();
    });
    ::unlink(mntr.c_str());
    ::unlink(gst.c_str());
  }
  reportGate(full);
  return 0;
}
