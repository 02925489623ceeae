#include "tests/support/harness.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "idl/exception_members.h"

namespace solvarium_test {

namespace {

std::string envOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  return (v && *v) ? std::string(v) : fallback;
}

std::vector<char*> cStrings(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (std::string& t : texts) out.push_back(&t[0]);
  out.push_back(nullptr);
  return out;
}

std::vector<std::string> envStrings(const Environment& env) {
  std::vector<std::string> out;
  for (const auto& kv : env) out.push_back(kv.first + "=" + kv.second);
  return out;
}

// Spawns argv with env in cwd; stdout and stderr go to the given files. The
// child gets SIGKILL when the thread that started it ends (PR_SET_PDEATHSIG),
// so that nothing outlives a test binary that aborts: start long-lived
// processes from the test's main thread. Only async-signal-safe calls run
// between fork and exec; a failed exec reports its errno through a pipe.
pid_t spawn(const std::string& program, std::vector<std::string> argv, const Environment& env,
            const std::string& cwd, const std::string& outPath, const std::string& errPath) {
  std::vector<std::string> envText = envStrings(env);
  std::vector<char*> cargv = cStrings(argv);
  std::vector<char*> cenv = cStrings(envText);
  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t parent = getpid();
  // No signal handler runs in the child before its dispositions are reset.
  sigset_t all, old;
  sigfillset(&all);
  pthread_sigmask(SIG_SETMASK, &all, &old);
  const pid_t pid = fork();
  if (pid == 0) {
    auto fail = [&] {
      const int error = errno;
      (void)!write(report[1], &error, sizeof error);
      _exit(127);
    };
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) fail();
    if (getppid() != parent) _exit(127);  // the parent has already gone
    const std::pair<int, const char*> files[] = {{0, "/dev/null"}, {1, outPath.c_str()},
                                                 {2, errPath.c_str()}};
    for (const auto& file : files) {
      const int flags = file.first == 0 ? O_RDONLY : O_WRONLY | O_CREAT | O_TRUNC;
      const int fd = open(file.second, flags, 0644);
      if (fd < 0 || dup2(fd, file.first) < 0) fail();
      if (fd != file.first) close(fd);
    }
    if (!cwd.empty() && chdir(cwd.c_str()) != 0) fail();
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (int signal = 1; signal < NSIG; ++signal) sigaction(signal, &defaults, nullptr);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    execve(program.c_str(), cargv.data(), cenv.data());
    fail();
  }
  const int forkError = errno;
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
  close(report[1]);
  if (pid < 0) {
    close(report[0]);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(forkError));
  }
  int error = 0;
  ssize_t got;
  while ((got = read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (got > 0) {
    waitpid(pid, nullptr, 0);
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
  }
  return pid;
}

int decodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Blocks up to `timeout` for pid; kills it after that. Returns the exit code.
int waitBounded(pid_t pid, milliseconds timeout, bool* timedOut) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  int status = 0;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return decodeStatus(status);
    if (r < 0 && errno != EINTR) return -1;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      if (timedOut) *timedOut = true;
      return decodeStatus(status);
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

// Options of the sanitizer runtimes in a child: the test process's own, else
// defaults that read the suppression files of the tree.
void addSanitizerOptions(Environment& env) {
  const std::string suppressions = std::string(SOLVARIUM_SOURCE_DIR) + "/tests/sanitizers/";
  env["ASAN_OPTIONS"] = envOr("ASAN_OPTIONS", "detect_leaks=1");
  env["LSAN_OPTIONS"] = envOr("LSAN_OPTIONS", "suppressions=" + suppressions + "lsan.supp");
  env["UBSAN_OPTIONS"] = envOr("UBSAN_OPTIONS", "print_stacktrace=1");
  env["TSAN_OPTIONS"] = envOr("TSAN_OPTIONS", "suppressions=" + suppressions + "tsan.supp");
}

bool isCompleteIor(const std::string& text) {
  if (text.size() < 12 || text.compare(0, 4, "IOR:") != 0) return false;
  std::string hex = text.substr(4);
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r')) hex.pop_back();
  if (hex.size() % 2 != 0) return false;
  for (char c : hex)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool waitUntil(const std::function<bool()>& cond, milliseconds timeout, milliseconds step) {
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (cond()) return true;
    std::this_thread::sleep_for(step);
  }
  return cond();
}

// ---- FakeSessionManager ------------------------------------------------------

FakeSessionManager::FakeSessionManager() {
  listenFd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  if (bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listenFd_, 4) != 0)
    throw std::runtime_error("bind/listen on 127.0.0.1 failed");
  socklen_t len = sizeof addr;
  getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
  port_ = ntohs(addr.sin_port);
  thread_ = std::thread([this] { run(); });
}

FakeSessionManager::~FakeSessionManager() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) close(listenFd_);
}

std::string FakeSessionManager::address() const { return "127.0.0.1:" + std::to_string(port_); }

std::string FakeSessionManager::received() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

bool FakeSessionManager::waitForBytes(size_t count, milliseconds timeout) const {
  return waitUntil([&] { return received().size() >= count; }, timeout);
}

void FakeSessionManager::run() {
  int conn = -1;
  while (!stop_ && conn < 0) {
    pollfd p{listenFd_, POLLIN, 0};
    if (poll(&p, 1, 50) > 0) {
      conn = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (conn >= 0) accepted_ = true;
    }
  }
  while (!stop_ && conn >= 0 && !peerClosed_) {
    pollfd p{conn, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    char buf[4096];
    ssize_t n = recv(conn, buf, sizeof buf, 0);
    if (n > 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      bytes_.append(buf, static_cast<size_t>(n));
    } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
      peerClosed_ = true;
    }
  }
  if (conn >= 0) close(conn);
}

// ---- StandInSolver -----------------------------------------------------------

StandInSolver::StandInSolver() {
  pid_ = spawn("/bin/sleep", {"sleep", "3600"}, Environment{}, "/", "/dev/null", "/dev/null");
}

StandInSolver::~StandInSolver() { kill(); }

void StandInSolver::kill() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGKILL);
  int status;
  while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
  }
  pid_ = -1;
}

// ---- runProgram --------------------------------------------------------------

std::string sanitizerReport(const std::string& stderrText) {
  static const char* const kMarkers[] = {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer",
                                         "runtime error:", "WARNING: ThreadSanitizer"};
  size_t first = std::string::npos;
  for (const char* marker : kMarkers) first = std::min(first, stderrText.find(marker));
  if (first == std::string::npos) return std::string();
  const size_t lineStart = stderrText.rfind('\n', first);
  return stderrText.substr(lineStart == std::string::npos ? 0 : lineStart + 1);
}

ProcessResult runProgram(const std::vector<std::string>& argv, const Environment& env,
                         const std::string& cwd, milliseconds timeout,
                         const std::string& stdoutPath) {
  TempDir out("solvarium-run");
  if (!out.ok()) throw std::runtime_error(out.error());
  ProcessResult result;
  pid_t pid = spawn(argv.at(0), argv, env, cwd,
                    stdoutPath.empty() ? out.file("out") : stdoutPath, out.file("err"));
  result.exitCode = waitBounded(pid, timeout, &result.timedOut);
  result.out = readFile(out.file("out"));
  result.err = readFile(out.file("err"));
  return result;
}

// ---- ServiceProcess ----------------------------------------------------------

ServiceProcess::ServiceProcess(Options options) : options_(std::move(options)) {
  if (options_.argv.empty()) options_.argv.push_back(options_.program);
  pid_ = spawn(options_.program, options_.argv, options_.env, options_.workDir,
               options_.logDir + "/stdout.txt", options_.logDir + "/stderr.txt");
}

ServiceProcess::~ServiceProcess() { kill(); }

std::string ServiceProcess::stdoutText() const { return readFile(options_.logDir + "/stdout.txt"); }
std::string ServiceProcess::stderrText() const { return readFile(options_.logDir + "/stderr.txt"); }

bool ServiceProcess::reap(bool block) {
  if (exitCode_) return true;
  if (pid_ <= 0) return true;
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid_, &status, block ? 0 : WNOHANG);
  } while (r < 0 && errno == EINTR);
  if (r == pid_) {
    exitCode_ = decodeStatus(status);
    return true;
  }
  return false;
}

bool ServiceProcess::running() { return !reap(false); }

std::optional<int> ServiceProcess::waitForExit(milliseconds timeout) {
  waitUntil([&] { return reap(false); }, timeout, milliseconds(10));
  return exitCode_;
}

void ServiceProcess::kill() {
  if (pid_ > 0 && !exitCode_) {
    ::kill(pid_, SIGKILL);
    reap(true);
  }
}

bool ServiceProcess::waitForKeyFiles(const std::vector<std::string>& names, milliseconds timeout) {
  auto complete = [&] {
    for (const std::string& n : names)
      if (!isCompleteIor(readFile(options_.workDir + "/" + n))) return false;
    return true;
  };
  bool exited = false;
  bool ok = waitUntil(
      [&] {
        if (complete()) return true;
        exited = !running();
        return exited;
      },
      timeout);
  return ok && complete();
}

bool ServiceProcess::waitForStdout(const std::string& text, milliseconds timeout) {
  return waitUntil([&] { return stdoutText().find(text) != std::string::npos; }, timeout);
}

// ---- ORB and exceptions ------------------------------------------------------

CORBA::ORB_ptr testOrb() {
  static CORBA::ORB_var orb = [] {
    const char* args[] = {"solvarium-tests",
                          "-ORBgiopMaxMsgSize", "4294967295",
                          "-ORBnativeCharCodeSet", "UTF-8",
                          "-ORBclientConnectTimeOutPeriod", "10000",
                          "-ORBclientCallTimeOutPeriod", "60000",
                          nullptr};
    int argc = 9;
    CORBA::ORB_ptr made = CORBA::ORB_init(argc, const_cast<char**>(args), "omniORB4");
    // A generated _nil() reads its pointer before taking the lock that guards
    // making it: each is made here once, before any test thread can call it.
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_nil();
    KORLEN_AAS_v1_0_0::Solvers::ICoScripting::_nil();
    KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem::_nil();
    AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit::_nil();
    AAS_CORBA::GRENDInstant::Solvers::ICoGrendUnit::_nil();
    AAS_CORBA::Talvo::ITalvoExceptionHolder::_nil();
    return made;
  }();
  return orb.in();
}

std::string Outcome::member(const std::string& name) const {
  auto it = members.find(name);
  return it == members.end() ? std::string("<no member " + name + ">") : it->second;
}

std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  if (o.ok) return os << "answer <" << o.answer << ">";
  os << o.exception << " {";
  for (const auto& kv : o.members) os << " " << kv.first << "=<" << kv.second << ">";
  return os << " }";
}

::testing::AssertionResult isException(const Outcome& o, const std::string& name,
                                       const std::map<std::string, std::string>& members) {
  if (o.ok || o.exception != name)
    return ::testing::AssertionFailure() << "expected " << name << ", got " << o;
  for (const auto& kv : members) {
    auto it = o.members.find(kv.first);
    if (it == o.members.end())
      return ::testing::AssertionFailure() << name << " has no member " << kv.first;
    if (it->second != kv.second)
      return ::testing::AssertionFailure() << name << "." << kv.first << " is <" << it->second
                                           << ">, expected <" << kv.second << ">";
  }
  return ::testing::AssertionSuccess();
}

namespace {

// Member texts by name; absent strings read "<null>".
struct MemberTexts {
  std::map<std::string, std::string>& members;
  void operator()(const char* name, const char* value) const { members[name] = value ? value : "<null>"; }
  void operator()(const char* name, long value) const { members[name] = std::to_string(value); }
};

// Tries one exception type; fills o and returns true on a match.
#define SOLVARIUM_TRY_EXCEPTION(Type, shortName)                           \
  if (const Type* p = dynamic_cast<const Type*>(&e)) {                     \
    o.exception = shortName;                                               \
    solvarium::exception_members::visitMembers(*p, MemberTexts{o.members}); \
    return o;                                                              \
  }

}  // namespace

Outcome describe(const CORBA::Exception& e) {
  Outcome o;
  o.repositoryId = e._rep_id() ? e._rep_id() : "";
  namespace G = KORLEN_AAS_v1_0_0::Exceptions;
  namespace I = KORLEN_AAS_v1_0_0::Instant::Exceptions;
  namespace B = AAS_CORBA::BROXInstant::Exceptions;
  namespace R = AAS_CORBA::GRENDInstant::Exceptions;
  namespace T = AAS_CORBA;
  SOLVARIUM_TRY_EXCEPTION(G::EUnknown, "EUnknown")
  SOLVARIUM_TRY_EXCEPTION(G::EInvalidArgument, "EInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(G::EYesNoQuestion, "EYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EReadUnquotedString, "EReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(G::EReadQGenericQuestion, "EReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EMenuGetQuestion, "EMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(G::EScriptGenericError, "EScriptGenericError")
  SOLVARIUM_TRY_EXCEPTION(G::ENotSupported, "ENotSupported")
  SOLVARIUM_TRY_EXCEPTION(B::EKorlenUnknown, "BROXInstant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(B::EKorlenInvalidArgument, "BROXInstant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantYesNoQuestion, "BROXInstant::EInstantYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantReadUnquotedString, "BROXInstant::EInstantReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantReadQGenericQuestion, "BROXInstant::EInstantReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantMenuGetQuestion, "BROXInstant::EInstantMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(B::EInstantScriptError, "BROXInstant::EInstantScriptError")
  SOLVARIUM_TRY_EXCEPTION(R::EKorlenUnknown, "GRENDInstant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(R::EKorlenInvalidArgument, "GRENDInstant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(I::EKorlenUnknown, "Instant::EKorlenUnknown")
  SOLVARIUM_TRY_EXCEPTION(I::EKorlenInvalidArgument, "Instant::EKorlenInvalidArgument")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantYesNoQuestion, "AAS_CORBA::EInstantYesNoQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantReadUnquotedString, "AAS_CORBA::EInstantReadUnquotedString")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantReadQGenericQuestion, "AAS_CORBA::EInstantReadQGenericQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantMenuGetQuestion, "AAS_CORBA::EInstantMenuGetQuestion")
  SOLVARIUM_TRY_EXCEPTION(T::EInstantTalvoGenericError, "AAS_CORBA::EInstantTalvoGenericError")
  if (const CORBA::SystemException* s = dynamic_cast<const CORBA::SystemException*>(&e)) {
    o.exception = std::string("CORBA::") + s->_name();
    o.members["minor"] = std::to_string(s->minor());
    o.members["completed"] = std::to_string(static_cast<int>(s->completed()));
    return o;
  }
  o.exception = std::string("other:") + e._name();
  return o;
}

Outcome capture(const std::function<std::string()>& f) {
  Outcome o;
  try {
    o.answer = f();
    o.ok = true;
  } catch (const CORBA::Exception& e) {
    o = describe(e);
  }
  return o;
}

// ---- IOR type id -------------------------------------------------------------

namespace {

// The IOR's encapsulated bytes; "" for a text that is not a complete IOR.
std::string iorBytes(const std::string& ior) {
  if (!isCompleteIor(ior)) return std::string();
  std::string hex = ior.substr(4);
  while (!hex.empty() && (hex.back() == '\n' || hex.back() == '\r')) hex.pop_back();
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

}  // namespace

std::string iorTypeId(const std::string& ior) {
  const std::string bytes = iorBytes(ior);
  if (bytes.size() < 8) return std::string();
  bool little = bytes[0] != 0;
  auto b = [&](size_t i) { return static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])); };
  uint32_t len = little ? (b(4) | b(5) << 8 | b(6) << 16 | b(7) << 24)
                        : (b(7) | b(6) << 8 | b(5) << 16 | b(4) << 24);
  if (len == 0 || 8 + len > bytes.size()) return std::string();
  return bytes.substr(8, len - 1);  // without the terminating NUL
}

namespace {

// Reads CDR from a byte string; alignment is relative to `base`.
class CdrReader {
 public:
  // `base` is the encapsulation's first byte (the byte-order octet).
  CdrReader(const std::string& bytes, size_t base, bool little)
      : bytes_(bytes), base_(base), pos_(base + 1), little_(little) {}
  bool ok() const { return ok_; }
  size_t pos() const { return pos_; }
  void skip(size_t n) { need(n) ? pos_ += n : 0; }
  uint8_t octet() { return need(1) ? static_cast<uint8_t>(bytes_[pos_++]) : 0; }
  uint16_t ushort() { return static_cast<uint16_t>(number(2)); }
  uint32_t ulong() { return static_cast<uint32_t>(number(4)); }
  std::string string() {
    uint32_t len = ulong();
    if (len == 0 || !need(len)) return std::string();
    std::string s = bytes_.substr(pos_, len - 1);
    pos_ += len;
    return s;
  }

 private:
  bool need(size_t n) {
    if (pos_ + n > bytes_.size()) ok_ = false;
    return ok_;
  }
  uint64_t number(size_t size) {
    while ((pos_ - base_) % size != 0) pos_++;
    if (!need(size)) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < size; ++i) {
      uint64_t b = static_cast<unsigned char>(bytes_[pos_ + i]);
      v |= little_ ? b << (8 * i) : b << (8 * (size - 1 - i));
    }
    pos_ += size;
    return v;
  }
  const std::string& bytes_;
  size_t base_;
  size_t pos_;
  bool little_;
  bool ok_ = true;
};

}  // namespace

IiopAddress iorAddress(const std::string& ior) {
  IiopAddress a;
  std::string bytes = iorBytes(ior);
  if (bytes.empty()) return a;
  CdrReader r(bytes, 0, bytes[0] != 0);
  r.string();  // type id
  uint32_t profiles = r.ulong();
  for (uint32_t i = 0; i < profiles && r.ok(); ++i) {
    uint32_t tag = r.ulong();
    uint32_t len = r.ulong();
    size_t start = r.pos();
    if (tag == 0 && start < bytes.size()) {
      CdrReader p(bytes, start, bytes[start] != 0);
      p.octet();  // version major
      p.octet();  // version minor
      a.host = p.string();
      a.port = p.ushort();
      const uint32_t keyLength = p.ulong();
      const size_t keyStart = p.pos();
      p.skip(keyLength);
      if (p.ok()) {
        a.objectKey = bytes.substr(keyStart, keyLength);
        return a;
      }
      return IiopAddress();
    }
    r.skip(len);
  }
  return a;
}

int freeLoopbackPort() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
  close(fd);
  return ntohs(addr.sin_port);
}

// ---- ServiceClient -----------------------------------------------------------

ServiceClient::ServiceClient(std::string workDir, std::string keyFile, std::string instantKeyFile)
    : workDir_(std::move(workDir)), keyFile_(std::move(keyFile)),
      instantKeyFile_(std::move(instantKeyFile)) {}

CORBA::Object_ptr ServiceClient::objectFromFile(const std::string& path) {
  std::string ior = readFile(path);
  while (!ior.empty() && (ior.back() == '\n' || ior.back() == '\r')) ior.pop_back();
  if (ior.empty()) throw std::runtime_error("no key in " + path);
  return testOrb()->string_to_object(ior.c_str());
}

KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var ServiceClient::solverUnit() {
  CORBA::Object_var obj = objectFromFile(instantKeyPath());
  return KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit::_narrow(obj);
}

KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var ServiceClient::scripting() {
  return solverUnit()->getCommandScripting();
}

KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var ServiceClient::fileSystem() {
  return solverUnit()->getFileSystem();
}

AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit_var ServiceClient::broxUnit() {
  CORBA::Object_var obj = objectFromFile(keyPath());
  return AAS_CORBA::BROXInstant::Solvers::ICoBROXUnit::_narrow(obj);
}

std::string ServiceClient::execute(const std::string& command) {
  CORBA::String_var answer = scripting()->executeToString(command.c_str());
  return std::string(answer.in());
}

Outcome ServiceClient::tryExecute(const std::string& command) {
  return capture([&] { return execute(command); });
}

std::string ServiceClient::broxCommand(const std::string& command) {
  CORBA::String_var answer = broxUnit()->executeCommandToString(command.c_str());
  return std::string(answer.in());
}

Outcome ServiceClient::tryBroxCommand(const std::string& command) {
  return capture([&] { return broxCommand(command); });
}

void ServiceClient::broadcast(const std::string& eventAndPayload) {
  std::string message = "broadcast::" + eventAndPayload;
  broxUnit()->addGenericExceptionMessage(message.c_str());
}

// ---- ServiceTest -------------------------------------------------------------

ServiceTest::ServiceTest() {
  root_ = std::make_unique<TempDir>("solvarium-e2e");
  if (!root_->ok()) throw std::runtime_error(root_->error());
  work_ = root_->file("work");
  bin_ = root_->file("bin");
  broxBin_ = root_->file("broxbin");
  logs_ = root_->file("logs");
  for (const std::string& d : {work_, bin_, broxBin_, broxBin_ + "/linux-amd64", logs_})
    mkdir(d.c_str(), 0755);
  std::string lib = QUENNET_LIBRARY;
  if (symlink(lib.c_str(), (broxBin_ + "/linux-amd64/libQuennet.so").c_str()) != 0)
    ADD_FAILURE() << "cannot link " << lib;
  sessionManager_ = std::make_unique<FakeSessionManager>();
  solver_ = std::make_unique<StandInSolver>();
}

ServiceTest::~ServiceTest() {
  endService();
  solver_.reset();
  sessionManager_.reset();
  root_.reset();
}

void ServiceTest::endService() {
  client_.reset();
  if (!service_) return;
  service_->kill();
  const std::string report = sanitizerReport(service_->stderrText());
  if (!report.empty())  // its whole stderr follows
    ADD_FAILURE() << "the service printed a sanitizer report: "
                  << report.substr(0, report.find('\n'));
  if (::testing::Test::HasFailure()) {
    std::fprintf(stderr, "---- service stdout ----\n%s\n---- service stderr ----\n%s\n",
                 service_->stdoutText().c_str(), service_->stderrText().c_str());
  }
  service_.reset();
}

Environment ServiceTest::broxEnvironment() const {
  Environment env;
  env["PATH"] = bin_ + ":/usr/local/bin:/usr/bin:/bin";
  env["HOME"] = work_;
  env["TMP"] = logs_;
  env["TMPDIR"] = logs_;
  env["LANG"] = "C";
  env["BROXBINDIR"] = broxBin_;
  env["AAS_HOST"] = "127.0.0.1";
  env["AAS_PORTS"] = "0";
  env["KORLEN_BROXSOLVE_PID"] = solver_->pidText();
  env["KORLEN_SESSION_MANAGER_SOCKET"] = sessionManager_->address();
  addSanitizerOptions(env);
  return env;
}

ServiceProcess::Options ServiceTest::broxOptions(const std::vector<std::string>& extraArgs) const {
  ServiceProcess::Options o;
  o.argv = {SOLVARIUM_BINARY, "-solver", "brox"};
  o.argv.insert(o.argv.end(), extraArgs.begin(), extraArgs.end());
  o.env = broxEnvironment();
  o.workDir = work_;
  o.logDir = logs_;
  return o;
}

ServiceProcess& ServiceTest::start(ServiceProcess::Options options) {
  endService();
  if (options.workDir.empty()) options.workDir = work_;
  if (options.logDir.empty()) options.logDir = logs_;
  service_ = std::make_unique<ServiceProcess>(std::move(options));
  return *service_;
}

ServiceProcess& ServiceTest::startBrox(const std::vector<std::string>& extraArgs) {
  ServiceProcess& svc = start(broxOptions(extraArgs));
  std::string key = "aaS_BROXSolvarium.txt";
  auto it = svc.options().env.find("BROX_AAS_KEY_FILE");
  if (it != svc.options().env.end() && !it->second.empty()) key = it->second;
  if (!svc.waitForKeyFiles({key, "instant_" + key}))
    ADD_FAILURE() << "key files did not appear; stdout:\n" << svc.stdoutText();
  client_ = std::make_unique<ServiceClient>(work_, key, "instant_" + key);
  return svc;
}

ServiceClient& ServiceTest::client() {
  if (!client_) client_ = std::make_unique<ServiceClient>(work_);
  return *client_;
}

void ServiceTest::useFakeQuennet() {
  std::string link = broxBin_ + "/linux-amd64/libQuennet.so";
  unlink(link.c_str());
  if (symlink(FAKE_QUENNET_LIBRARY, link.c_str()) != 0) ADD_FAILURE() << "cannot link fake Quennet";
}

void ServiceTest::clearWorkDir() {
  for (const std::string& name : listDirectory(work_)) removeTree(work_ + "/" + name);
}

void ServiceTest::writeProgram(const std::string& name, const std::string& body) {
  writeFile(bin_ + "/" + name, "#!/bin/sh\n" + body, 0755);
}

ProcessResult ServiceTest::runClient(const std::vector<std::string>& args, milliseconds timeout,
                                     const std::string& stdoutPath) {
  std::vector<std::string> argv = {SOLVARIUM_CLIENT_BINARY};
  argv.insert(argv.end(), args.begin(), args.end());
  Environment env;
  env["PATH"] = "/usr/bin:/bin";
  addSanitizerOptions(env);
  ProcessResult result = runProgram(argv, env, work_, timeout, stdoutPath);
  const std::string report = sanitizerReport(result.err);
  if (!report.empty()) ADD_FAILURE() << "solvarium-client printed a sanitizer report:\n" << report;
  return result;
}

}  // namespace solvarium_test
