// Fake Brox programs for tests: small shell scripts ("broxmondata",
// "broxstop", ...) written into a bin directory that the test puts first on
// PATH. Only tests use a shell; the service starts programs with argv.
//
// Each fake, when run:
//   1. logs its argument vector (without argv[0]) to <binDir>/<name>.log,
//      one argument per line, and a line "----" after each run;
//   2. finds the mode: its first argument without the leading "-" (e.g.
//      "plotinfo", "varinfo", "showvars", "lastvaluesonly"), or "data" when
//      the first argument is "-out"; the run path is the argument after
//      "-dir", "-res" or "-directory", the output file the one after "-out";
//   3. when "-out" was given, copies the output registered for (mode, run
//      path), else the one registered for (mode, any run), to the output
//      file; with none registered it writes no output file at all;
//   4. exits with the code registered for (name, run path), else for name,
//      else 0.
//
// Usage:
//   FakePrograms fakes(dir + "/bin");           // creates the directory
//   fakes.install("broxmondata");
//   fakes.setOutput("plotinfo", "./run_001.dir", "<Plots>...</Plots>");
//   ScopedPathPrepend path(fakes.binDir());      // unit tests only
//   ... run the code under test ...
//   fakes.calls("broxmondata")  -> {{"-plotinfo", "-out", "/tmp/...", ...}}
#ifndef SOLVARIUM_TESTS_SUPPORT_FAKE_PROGRAMS_H_
#define SOLVARIUM_TESTS_SUPPORT_FAKE_PROGRAMS_H_

#include <string>
#include <vector>

namespace solvarium_test {

class FakePrograms {
 public:
  // `binDir` is created when missing; the fakes and their logs live there.
  explicit FakePrograms(std::string binDir);

  const std::string& binDir() const { return binDir_; }

  // Writes the executable fake `name` into binDir().
  void install(const std::string& name);

  // Output for `mode` and one run path (as the program receives it).
  void setOutput(const std::string& mode, const std::string& runPath, const std::string& content);
  // Output for `mode` and every run without an output of its own.
  void setDefaultOutput(const std::string& mode, const std::string& content);

  // Exit code of fake `name` for every run, or for one run path only.
  void setExitCode(const std::string& name, int code);
  void setExitCode(const std::string& name, const std::string& runPath, int code);

  // Argument vectors (without argv[0]) of every run of `name`, in order.
  std::vector<std::vector<std::string>> calls(const std::string& name) const;
  // Forgets the logged runs of `name`.
  void clearCalls(const std::string& name);

  // Value following `option` in one logged argument vector; "" when absent.
  static std::string argumentAfter(const std::vector<std::string>& call, const std::string& option);

 private:
  std::string key(const std::string& runPath) const;
  std::string binDir_;
};

// Puts `dir` first on PATH of the test process; restores PATH on destruction.
class ScopedPathPrepend {
 public:
  explicit ScopedPathPrepend(const std::string& dir);
  ~ScopedPathPrepend();
  ScopedPathPrepend(const ScopedPathPrepend&) = delete;
  ScopedPathPrepend& operator=(const ScopedPathPrepend&) = delete;

 private:
  bool hadPath_;
  std::string oldPath_;
};

// Sets (or, with `unset`, removes) one environment variable of the test
// process; restores it on destruction.
class ScopedEnv {
 public:
  ScopedEnv(const std::string& name, const std::string& value, bool unset = false);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  bool had_;
  std::string old_;
};

}  // namespace solvarium_test

#endif  // SOLVARIUM_TESTS_SUPPORT_FAKE_PROGRAMS_H_
