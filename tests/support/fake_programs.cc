#include "tests/support/fake_programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "tests/support/files.h"

namespace solvarium_test {
namespace {

const char kRunEnd[] = "----";

void makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
    throw std::runtime_error("cannot create " + path);
  }
}

// The script of one fake; `state` is the directory of its outputs and codes.
std::string script(const std::string& name, const std::string& binDir) {
  const std::string state = binDir + "/.fake";
  return "#!/bin/sh\n"
         "state='" +
         state +
         "'\n"
         "name='" +
         name +
         "'\n"
         "log='" +
         binDir + "/" + name +
         ".log'\n"
         "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$log\"; done\n"
         "printf '%s\\n' '" +
         kRunEnd +
         "' >> \"$log\"\n"
         "mode=data\n"
         "if [ $# -gt 0 ] && [ \"$1\" != \"-out\" ]; then mode=\"${1#-}\"; fi\n"
         "out=''\n"
         "path=''\n"
         "while [ $# -gt 0 ]; do\n"
         "  case \"$1\" in\n"
         "    -out) if [ $# -ge 2 ]; then out=\"$2\"; shift; fi ;;\n"
         "    -dir|-res|-directory) if [ $# -ge 2 ]; then path=\"$2\"; shift; fi ;;\n"
         "  esac\n"
         "  shift\n"
         "done\n"
         "key=$(printf '%s' \"$path\" | tr '/' '%')\n"
         "if [ -n \"$out\" ]; then\n"
         "  response=\"$state/responses/$mode@$key\"\n"
         "  [ -f \"$response\" ] || response=\"$state/responses/$mode@@default\"\n"
         "  if [ -f \"$response\" ]; then cat \"$response\" > \"$out\"; fi\n"
         "fi\n"
         "code=0\n"
         "if [ -f \"$state/$name.exit@$key\" ]; then code=$(cat \"$state/$name.exit@$key\");\n"
         "elif [ -f \"$state/$name.exit\" ]; then code=$(cat \"$state/$name.exit\"); fi\n"
         "exit \"$code\"\n";
}

}  // namespace

FakePrograms::FakePrograms(std::string binDir) : binDir_(std::move(binDir)) {
  makeDirectory(binDir_);
  makeDirectory(binDir_ + "/.fake");
  makeDirectory(binDir_ + "/.fake/responses");
}

std::string FakePrograms::key(const std::string& runPath) const {
  std::string k = runPath;
  for (char& c : k) {
    if (c == '/') c = '%';
  }
  return k;
}

void FakePrograms::install(const std::string& name) {
  writeFile(binDir_ + "/" + name, script(name, binDir_), 0755);
}

void FakePrograms::setOutput(const std::string& mode, const std::string& runPath,
                             const std::string& content) {
  writeFile(binDir_ + "/.fake/responses/" + mode + "@" + key(runPath), content);
}

void FakePrograms::setDefaultOutput(const std::string& mode, const std::string& content) {
  writeFile(binDir_ + "/.fake/responses/" + mode + "@@default", content);
}

void FakePrograms::setExitCode(const std::string& name, int code) {
  writeFile(binDir_ + "/.fake/" + name + ".exit", std::to_string(code) + "\n");
}

void FakePrograms::setExitCode(const std::string& name, const std::string& runPath, int code) {
  writeFile(binDir_ + "/.fake/" + name + ".exit@" + key(runPath), std::to_string(code) + "\n");
}

std::vector<std::vector<std::string>> FakePrograms::calls(const std::string& name) const {
  std::vector<std::vector<std::string>> runs;
  std::ifstream in(binDir_ + "/" + name + ".log", std::ios::binary);
  std::vector<std::string> current;
  std::string line;
  while (std::getline(in, line)) {
    if (line == kRunEnd) {
      runs.push_back(current);
      current.clear();
    } else {
      current.push_back(line);
    }
  }
  return runs;
}

void FakePrograms::clearCalls(const std::string& name) {
  ::unlink((binDir_ + "/" + name + ".log").c_str());
}

std::string FakePrograms::argumentAfter(const std::vector<std::string>& call,
                                        const std::string& option) {
  for (std::size_t i = 0; i + 1 < call.size(); ++i) {
    if (call[i] == option) return call[i + 1];
  }
  return "";
}

ScopedPathPrepend::ScopedPathPrepend(const std::string& dir) {
  const char* path = std::getenv("PATH");
  hadPath_ = path != nullptr;
  if (hadPath_) oldPath_ = path;
  const std::string newPath = hadPath_ ? dir + ":" + oldPath_ : dir;
  ::setenv("PATH", newPath.c_str(), 1);
}

ScopedPathPrepend::~ScopedPathPrepend() {
  if (hadPath_) {
    ::setenv("PATH", oldPath_.c_str(), 1);
  } else {
    ::unsetenv("PATH");
  }
}

ScopedEnv::ScopedEnv(const std::string& name, const std::string& value, bool unset) : name_(name) {
  const char* old = std::getenv(name.c_str());
  had_ = old != nullptr;
  if (had_) old_ = old;
  if (unset) {
    ::unsetenv(name.c_str());
  } else {
    ::setenv(name.c_str(), value.c_str(), 1);
  }
}

ScopedEnv::~ScopedEnv() {
  if (had_) {
    ::setenv(name_.c_str(), old_.c_str(), 1);
  } else {
    ::unsetenv(name_.c_str());
  }
}

}  // namespace solvarium_test
