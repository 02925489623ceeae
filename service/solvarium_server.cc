#include "service/solvarium_server.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/Time_Value.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <thread>
#include <vector>

#include "common/confined_file.h"
#include "common/diagnostics.h"
#include "common/safe_file.h"
#include "common/startup_error.h"
#include "platform/end_register.h"
#include "platform/process.h"
#include "service/co_file_system.h"
#include "service/connection_cap.h"
#include "service/co_solver_unit.h"
#include "service/instant_scripting.h"
#include "service/orb_log.h"
#include "service/process_exit.h"
#include "service/servant_poa.h"
#include "service/service_log.h"
#include "service/start_options.h"
#include "service/startup_memory.h"
#include "service/watcher_buffers.h"

extern char** environ;

namespace solvarium {

namespace {

const char kShuttingDown[] = "Shutting down...\n";

// The generated _nil() of an interface makes its nil reference on first use
// without a lock that covers the read, and every operation that answers a
// reference calls it in the request's thread: made here, before any request
// can arrive, two requests never race to make it.
void makeNilReferences() {
  namespace GS = KORLEN_AAS_v1_0_0::Solvers;
  GS::ICoSolverUnit::_nil();
  GS::ICoScripting::_nil();
  GS::ICoFileSystem::_nil();
  GS::ICoAdvancedParameters::_nil();
  GS::ICoPublicParameters::_nil();
  GS::ICoCollaborativeControls::_nil();
}

// Prints `text`, appends it to the start-up error file and ends with 1.
[[noreturn]] void failStart(const std::string& text) {
  printText(text);
  appendText(instantErrorFileName(), text);
  endProcess(kExitStartFailed);
}

// The stderr line of a StartupError: its advice, else the first line of
// its text that is not empty.
void reportStartupError(const StartupError& e) {
  const std::string line = e.advice().empty() ? firstTextLine(e.what()) : e.advice();
  solvarium::diagnostic("Start-up failed: %s\n", line.c_str());
}

// A failure that has no text of its own: the cause goes to stderr.
[[noreturn]] void failStartWithCause(const char* cause) {
  solvarium::diagnostic("Start-up failed: %s\n", cause);
  failStart("Unknown error starting aaS solver\n");
}

// While it lives, the ORB reads a process environment without `ORB...` and
// `OMNIORB...` variables and with an empty OMNIORB_CONFIG (no configuration
// file), so that only orbArguments() sets its listeners and limits; tracing
// variables ("ORBtrace...", but not ORBtraceFile) pass. The environment
// itself is not changed: programs started later, and "aaS.getenv", see it as
// it was. Only `environ` is switched, so a concurrent getenv reads one whole
// array or the other.
class OrbStartEnvironment {
 public:
  OrbStartEnvironment() : saved_(environ) {
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
      const bool tracing = std::strncmp(*entry, "ORBtrace", 8) == 0 &&
                           std::strncmp(*entry, "ORBtraceFile=", 13) != 0;
      if (!tracing && (std::strncmp(*entry, "ORB", 3) == 0 ||
                       std::strncmp(*entry, "OMNIORB", 7) == 0)) {
        continue;
      }
      kept_.push_back(*entry);
    }
    kept_.push_back(noConfigFile_);
    kept_.push_back(nullptr);
    environ = kept_.data();
  }
  ~OrbStartEnvironment() { environ = saved_; }
  OrbStartEnvironment(const OrbStartEnvironment&) = delete;
  OrbStartEnvironment& operator=(const OrbStartEnvironment&) = delete;

 private:
  char** saved_;
  char noConfigFile_[16] = "OMNIORB_CONFIG=";
  std::vector<char*> kept_;
};

// Whether a first client can be served now: two more threads at once (its
// connection's and the ORB's scavenger), each with some memory to work in.
bool roomForAClient() {
  constexpr std::size_t kWork = 1 << 20;
  bool room = false;
  try {
    std::thread([&room] {
      void* volatile outer = std::malloc(kWork);
      try {
        std::thread([&room] {
          void* volatile inner = std::malloc(kWork);
          room = inner != nullptr;
          std::free(inner);
        }).join();
      } catch (const std::exception&) {
      }
      room = room && outer != nullptr;
      std::free(outer);
    }).join();
  } catch (const std::exception&) {
  }
  return room;
}

// Its name, with a system exception's minor code when the ORB names it.
std::string exceptionText(const CORBA::Exception& e) {
  std::string text = e._name();
  const CORBA::SystemException* system = CORBA::SystemException::_downcast(&e);
  const char* minor = system != nullptr ? system->NP_minorString() : nullptr;
  if (minor != nullptr) text += std::string(" (") + minor + ")";
  return text;
}

// The one stderr line of an ORB that does not start: `cause`, and what to
// change. With an endpoint, the failure came from opening the listener.
void reportOrbFailure(const std::string& cause) {
  solvarium::diagnostic(
      "Start-up failed: the ORB did not start (%s): check the ORBtrace... environment "
      "variables, the only ORB settings taken from the environment\n",
      cause.c_str());
}

void reportOrbFailure(const std::string& cause, const ListenEndpoint& endpoint) {
  const std::string host = endpoint.host.empty() ? "all interfaces" : endpoint.host;
  solvarium::diagnostic(
      "Start-up failed: cannot listen on %s, port %s (%s): set AAS_PORTS or -p<port> "
      "to a free port, AAS_HOST or -h<host> to an address of this machine\n",
      host.c_str(), endpoint.port.c_str(), cause.c_str());
}

void reportSessionManagerFailure(const char* address, const char* cause) {
  solvarium::diagnostic(
      "Start-up failed: no hand-shake with the session manager at '%s' (%s): set "
      "KORLEN_SESSION_MANAGER_SOCKET to the host:port where it listens (empty: no "
      "hand-shake)\n",
      address, cause);
}

}  // namespace

CSolvariumServer::CSolvariumServer(const SolverKindRecord& record, const StartContext& context)
    : record_(record), context_(context) {
  startOrb();
  printText(record_.serverName + " starting...\n");
}

CSolvariumServer::~CSolvariumServer() {
  kind_.reset();
  clearServantPoa();
  rootPoa_ = PortableServer::POA::_nil();
  try {
    orb_->destroy();
  } catch (const CORBA::Exception& e) {
    solvarium::diagnostic("Destroying the ORB failed: %s\n", e._name());
  }
}

void CSolvariumServer::run(const KindSettings* settings,
                           const std::function<void()>& serving) {
  try {
    createKind(settings);
    // The ORB's listener and each connection take a thread: with none left
    // once the kind is made, no client could be served.
    if (!roomForAClient()) failThreadStart("ORB's");
    publishKeys();
    endStartupMemoryWatch();
  } catch (const StartupError& e) {
    reportStartupError(e);
    failStart(std::string(e.what()) + "\n");
  } catch (const CORBA::Exception& e) {
    failStartWithCause(e._name());
  } catch (const std::exception& e) {
    failStartWithCause(e.what());
  } catch (...) {
    failStartWithCause("an exception of no known type");
  }

  if (serving) serving();
  // The ORB serves in threads of its own: this thread only waits, so that
  // a stop needs no thread made later (the ORB's shutdown(false) makes one).
  awaitShutdownRequest();
  try {
    orb_->shutdown(true);  // waits for the requests that run
  } catch (const CORBA::Exception& e) {
    solvarium::diagnostic("Shutting the ORB down failed: %s\n", e._name());
  }
  markOrbShutDown();
  const SerialCall serial;
  if (!claimTheEnd()) {
    for (;;) ::pause();  // the deadline or the watcher ends the process
  }
  platform::releaseTaskForTheEnd();  // for the final save's programs
  finalSaveFailed_ = !kind_->finalSave();
  printText(kShuttingDown);
}

void CSolvariumServer::startOrb() {
  const Environment& environment = context_.environment;
  const ListenEndpoint endpoint = listenEndpoint(
      context_.argc, context_.argv, environment.get("AAS_PORTS"), environment.get("AAS_HOST"));
  std::vector<std::string> arguments =
      orbArguments(record_.serverName, endpoint);
  std::vector<char*> orbArgv;
  for (std::string& argument : arguments) orbArgv.push_back(&argument[0]);
  orbArgv.push_back(nullptr);
  int orbArgc = static_cast<int>(arguments.size());
  // Until the listeners are made (by the RootPOA's resolution).
  const OrbStartEnvironment orbEnvironment;
  // The ORB's own log lines join the service's diagnostics (never a blocking
  // write in a request's thread).
  omniORB::setLogFunction(orbLogLine);

  std::string initFailure = "ORB_init answered a nil ORB";
  try {
    orb_ = CORBA::ORB_init(orbArgc, orbArgv.data(), "omniORB4");
  } catch (const CORBA::Exception& e) {
    initFailure = exceptionText(e);
  }
  if (CORBA::is_nil(orb_.in())) {
    printText("Error: cannot initialize Object Request Broker (ORB)\n");
    reportOrbFailure(initFailure);
    endProcess(kExitStartFailed);
  }
  makeNilReferences();
  capConnections(connectionCap(maxConnections(environment), platform::openFileLimit(),
                               currentTaskLimits(), addressSpaceBound()));

  try {
    CORBA::Object_var object = orb_->resolve_initial_references("RootPOA");
    rootPoa_ = PortableServer::POA::_narrow(object.in());  // nil for a nil object
    if (CORBA::is_nil(rootPoa_.in())) {
      printText("Error: Root Portable Object Adapter is not initialized\n");
      reportOrbFailure("no root POA");
      endProcess(kExitStartFailed);
    }
    PortableServer::POAManager_var manager = rootPoa_->the_POAManager();
    manager->activate();

    // One child POA for every servant. The ORB-controlled model reads a
    // request's arguments in the connection's own thread; the servants'
    // SerialCall then runs one request at a time (a single-thread POA would
    // hold its lock while a stalled client's arguments are still awaited).
    // Ids are the servants' own (random, see activateServant()): the POA's
    // would hold its creation time, the process id and a counter.
    CORBA::PolicyList policies;
    policies.length(2);
    policies[0] = rootPoa_->create_thread_policy(PortableServer::ORB_CTRL_MODEL);
    policies[1] = rootPoa_->create_id_assignment_policy(PortableServer::USER_ID);
    PortableServer::POA_var servants =
        rootPoa_->create_POA("SolvariumServants", manager.in(), policies);
    for (CORBA::ULong i = 0; i < policies.length(); ++i) policies[i]->destroy();
    setServantPoa(servants.in());
  } catch (const CORBA::Exception& e) {
    printText("Error:\n" + exceptionText(e) + "\n");
    reportOrbFailure(exceptionText(e), endpoint);
    endProcess(kExitStartFailed);
  }
}

void CSolvariumServer::createKind(const KindSettings* settings) {
  kind_ = record_.create(orb_.in(), context_, settings);
  if (kind_->kindServant() != nullptr) activateServant(kind_->kindServant());
  activateServant(kind_->scriptingServant());
  activateServant(kind_->solverUnitServant());
  activateServant(kind_->fileSystemServant());
  key_ = kind_->publishedIor();
}

void CSolvariumServer::publishKeys() {
  if (key_.empty()) return;
  printIor("Solvarium key", key_);
  handShakeSessionManager();
  solverUnitKeyBuffer().set(key_);
  for (const KeyFile& file : record_.keyFiles(context_)) {
    const std::string ior = file.solverUnit ? kind_->solverUnitIor() : key_;
    if (!file.printedAs.empty()) printIor(file.printedAs, ior);
    writeKeyFile(file.name, ior);
  }
}

void CSolvariumServer::printIor(const std::string& label, const std::string& ior) {
  printText("\n" + label + ": \n" + ior + "\n");
}

void CSolvariumServer::handShakeSessionManager() {
  const char* address = context_.environment.get("KORLEN_SESSION_MANAGER_SOCKET");
  if (address == nullptr) {
    const std::string line = "No registered " + record_.serverName + " exception clients!\n";
    printText(line);
    if (record_.needsSessionManager) {
      solvarium::diagnostic(
          "Start-up failed: KORLEN_SESSION_MANAGER_SOCKET is not set: %s needs it; set "
          "it to the session manager's host:port (empty: no hand-shake)\n",
          record_.serverName.c_str());
      appendText(instantErrorFileName(), "\n" + line + "Shutting down instant aaS...\n" + "\n");
      printText(kShuttingDown);
      endProcess(kExitStartFailed);
    }
    return;
  }
  if (*address == '\0') return;

  const std::string connectFailed = std::string("Cannot connect with exception client!\n") +
                                    kShuttingDown;
  ACE_INET_Addr peer;
  if (peer.set(address) != 0) {
    reportSessionManagerFailure(address, "not a host:port");
    failStart(connectFailed);
  }
  ACE_SOCK_Connector connector;
  ACE_Time_Value timeout(10);
  if (connector.connect(sessionManager_, peer, &timeout) == -1) {
    reportSessionManagerFailure(address, std::strerror(errno));
    failStart(connectFailed);
  }
  ::fcntl(sessionManager_.get_handle(), F_SETFD, FD_CLOEXEC);
  const platform::Making making;  // a dead service's key is never handed over
  if (!making.allowed()) platform::waitForTheEnd();
  const ssize_t sent = sessionManager_.send_n(key_.data(), key_.size(), &timeout);
  if (sent < 0 || static_cast<size_t>(sent) != key_.size()) {
    reportSessionManagerFailure(address, "the key could not be sent");
    failStart(std::string("Cannot hand-shake with exception client!\n") + kShuttingDown);
  }
}

void CSolvariumServer::writeKeyFile(const std::string& fileName, const std::string& text) {
  // Clients never replace a key file, by upload or by save.
  refuseConfinedWrites(fileName);
  std::string error;
  // A key is the only credential a client needs: readable by the owner alone.
  if (writeFileAtomically(fileName, text, &error, FileMode::kOwnerOnly)) return;
  struct stat info;
  if (::lstat(fileName.c_str(), &info) == 0) {
    // Clients would read the key that is there as this service's.
    throw std::runtime_error("key file <" + fileName + "> exists and cannot be replaced: " +
                             error);
  }
  solvarium::diagnostic("Warning: cannot write key file <%s>: %s\n", fileName.c_str(),
                        error.c_str());
}

}  // namespace solvarium
