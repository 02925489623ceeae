// The floors the benchmark measures the service against, each the same work
// done without the service: a bare omniORB string echo server, a plain
// single-pass monitor CSV -> JSON converter, and the run-status file work of
// a working directory done directly. Plus the small process and data helpers
// the benchmark cases share. Not thread-safe unless a function says so.
#ifndef SOLVARIUM_TESTS_BENCH_BENCH_FLOORS_H_
#define SOLVARIUM_TESTS_BENCH_BENCH_FLOORS_H_

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace solvarium_bench {

// Main of the echo server process: an ICoScripting servant on the root POA
// whose executeToString answers its argument, in an ORB with the service's
// own options; the object's IOR is written to `iorFile` (renamed into place
// when complete). Runs until killed.
int runEchoServer(const char* iorFile);

// A monitor-data program's output: a quoted header of `columns` names, then
// numeric rows ("%.6e" values, an integer first column, an all-empty column
// and an occasional "nan") until the text reaches `minBytes`.
std::string monitorCsv(std::size_t minBytes, int columns);

// The answer of "aaS.list_monitors_with_persisted_data session-name <s>" for
// one monitor whose output is `csv` and whose run directory is `location`,
// written by a plain converter: lines and cells found in one pass and kept as
// offsets, then one data array per column.
std::string referencePersistedDataAnswer(const std::string& csv, const std::string& location);

// The file work of one run-status scan of `dir`, done directly: list it and
// its sub-folders with a status per entry, lock every run directory and look
// for its result file, read every run's information file, remove the locks;
// paths relative to `dir` as the service spells them. Returns the number of
// runs read.
std::size_t directStorageScan(const std::string& dir);

// Peak resident set (VmHWM) of process `pid`, in bytes; 0 when unknown.
std::size_t peakResidentBytes(pid_t pid);

}  // namespace solvarium_bench

#endif  // SOLVARIUM_TESTS_BENCH_BENCH_FLOORS_H_
