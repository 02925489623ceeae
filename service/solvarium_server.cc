#include "service/solvarium_server.h"

#include <ace/INET_Addr.h>
#include <ace/SOCK_Connector.h>
#include <ace/Time_Value.h>
#include <fcntl.h>

#include <cstdlib>
#include <vector>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"
#include "common/safe_file.h"
#include "common/startup_error.h"
#include "idl/exception_members.h"
#include "service/servant_poa.h"
#include "service/service_log.h"
#include "service/start_options.h"
#include "service/watcher_buffers.h"

namespace solvarium {

namespace BE = AAS_CORBA::BROXInstant::Exceptions;

namespace {

const char kShuttingDown[] = "Shutting down...\n";

std::string orNull(const char* text, const char* absent) {
  return text != nullptr ? std::string(text) : std::string(absent);
}

std::string field(const char* name, const char* value) {
  return std::string(name) + ": <" + orNull(value, "") + ">\n";
}

std::string field(const char* name, long value) {
  return std::string(name) + ": <" + std::to_string(value) + ">\n";
}

// The report of a failed final save: a header naming the exception, then
// every member as "name: <value>".
template <class E>
std::string memberReport(const char* what, const E& e) {
  std::string text = std::string("\n\n") + what + " caught executing solver will\n\n";
  exception_members::visitMembers(
      e, [&text](const char* name, auto value) { text += field(name, value); });
  return text;
}

// Prints `text`, appends it to the start-up error file and ends with 1.
[[noreturn]] void failStart(const std::string& text) {
  printText(text);
  appendText(instantErrorFileName(), text);
  endProcess(1);
}

std::string systemExceptionText(const CORBA::SystemException& e) {
  std::string text = e._name();
  const char* minor = e.NP_minorString();
  if (minor != nullptr) text += std::string(" (") + minor + ")";
  return text;
}

}  // namespace

CSolvariumServer::CSolvariumServer(int argc, const char* const* argv, int kind,
                                   const UdfDescription* udf, const Environment& environment)
    : kind_(kind), environment_(environment) {
  serverName_ = serverNameForKind(kind);
  if (serverName_.empty()) return;
  startOrb(argc, argv);

  printText(serverName_ + " starting...\n");

  try {
    createSolverObject(udf);
    publishKeys(argc, argv);
  } catch (const StartupError& e) {
    failStart(std::string(e.what()) + "\n");
  } catch (const std::string& text) {  // SolverObject and the UDF kind's factory throw text
    failStart(text + "\n");
  } catch (const KORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError& e) {
    failStart("\nError executing <" + orNull(e.command, "NULL") + ">\n" + "\nError info:\n " +
              orNull(e.errorInfo, "<NULL>") + "\n" + "\nCommand output:\n " +
              orNull(e.commandOutput, "<NULL>") + "\n");
  } catch (...) {
    failStart("Unknown error starting aaS solver\n");
  }

  orb_->run();
  markShutdownBegun();
  shutdown();
  printText(kShuttingDown);
}

CSolvariumServer::~CSolvariumServer() {
  solverObject_.reset();
  clearServantPoa();
  rootPoa_ = PortableServer::POA::_nil();
  orb_ = CORBA::ORB::_nil();
}

void CSolvariumServer::startOrb(int argc, const char* const* argv) {
  const ListenEndpoint endpoint =
      listenEndpoint(argc, argv, environment_.get("AAS_PORTS"), environment_.get("AAS_HOST"));
  std::vector<std::string> arguments = orbArguments(serverName_, endpoint);
  std::vector<char*> orbArgv;
  for (std::string& argument : arguments) orbArgv.push_back(&argument[0]);
  orbArgv.push_back(nullptr);
  int orbArgc = static_cast<int>(arguments.size());

  try {
    orb_ = CORBA::ORB_init(orbArgc, orbArgv.data(), "omniORB4");
  } catch (const CORBA::Exception&) {
    orb_ = CORBA::ORB::_nil();
  }
  if (CORBA::is_nil(orb_.in())) {
    printText("Error: cannot initialize Object Request Broker (ORB)\n");
    endProcess(1);
  }

  try {
    CORBA::Object_var object = orb_->resolve_initial_references("RootPOA");
    rootPoa_ = PortableServer::POA::_narrow(object.in());  // nil for a nil object
    if (CORBA::is_nil(rootPoa_.in())) {
      printText("Error: Root Portable Object Adapter is not initialized");
      endProcess(1);
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
  } catch (const CORBA::SystemException& e) {
    printText("Error:\n" + systemExceptionText(e) + "\n");
    endProcess(1);
  } catch (const CORBA::Exception& e) {
    printText(std::string("Error:\n") + e._name() + "\n");
    endProcess(1);
  }
}

void CSolvariumServer::createSolverObject(const UdfDescription* udf) {
  if (kind_ < 1 || kind_ > 4) return;
  solverObject_.reset(
      new SolverObject(orb_.in(), kind_, kind_ == 4 ? udf : nullptr, environment_));
  key_ = solverObject_->publishedIor();
}

void CSolvariumServer::publishKeys(int argc, const char* const* argv) {
  printKey();
  handShakeSessionManager();
  copyKeyForChecker();
  writeKeyFiles(argc, argv);
}

void CSolvariumServer::printKey() {
  if (key_.empty()) return;
  printText("\nSolvarium key: \n" + key_ + "\n");
}

void CSolvariumServer::handShakeSessionManager() {
  if (key_.empty()) return;
  const char* address = environment_.get("KORLEN_SESSION_MANAGER_SOCKET");
  if (address == nullptr) {
    const std::string line = "No registered " + serverName_ + " exception clients!\n";
    printText(line);
    if (requiresSessionManager(kind_)) {
      appendText(instantErrorFileName(), "\n" + line + "Shutting down instant aaS...\n" + "\n");
      printText(kShuttingDown);
      endProcess(1);
    }
    return;
  }
  if (*address == '\0') return;

  const std::string connectFailed = std::string("Cannot connect with exception client!\n") +
                                    kShuttingDown;
  ACE_INET_Addr peer;
  if (peer.set(address) != 0) failStart(connectFailed);
  ACE_SOCK_Connector connector;
  ACE_Time_Value timeout(10);
  if (connector.connect(sessionManager_, peer, &timeout) == -1) failStart(connectFailed);
  ::fcntl(sessionManager_.get_handle(), F_SETFD, FD_CLOEXEC);
  const ssize_t sent = sessionManager_.send_n(key_.data(), key_.size(), &timeout);
  if (sent < 0 || static_cast<size_t>(sent) != key_.size()) {
    failStart(std::string("Cannot hand-shake with exception client!\n") + kShuttingDown);
  }
}

void CSolvariumServer::copyKeyForChecker() {
  if (key_.empty()) return;
  solverUnitKeyBuffer().set(key_);
}

void CSolvariumServer::writeKeyFile(const std::string& fileName, const std::string& text) {
  std::string error;
  // A key is the only credential a client needs: readable by the owner alone.
  if (!writeFileAtomically(fileName, text, &error, FileMode::kOwnerOnly)) {
    printText("Warning: cannot write key file <" + fileName + ">: " + error + "\n");
  }
}

void CSolvariumServer::writeKeyFiles(int argc, const char* const* argv) {
  if (key_.empty()) return;
  switch (kind_) {
    case 1: {
      const std::string name = environment_.valueOr("BROX_AAS_KEY_FILE", "aaS_BROXSolvarium.txt");
      writeKeyFile(name, key_);
      writeKeyFile(instantTwinName(name), solverObject_->solverUnitIor());
      break;
    }
    case 2: {
      const std::string unitIor = solverObject_->solverUnitIor();
      writeKeyFile("aaS_TalvoSolvarium.txt", key_);
      printText("\nInstant ICoSolverUnit Talvo key: \n" + unitIor + "\n");
      writeKeyFile(instantTwinName(environment_.valueOr("TALVO_AAS_KEY_FILE", "aaS_TalvoId.txt")),
                   unitIor);
      break;
    }
    case 3: {
      const std::string unitIor = solverObject_->solverUnitIor();
      writeKeyFile("aaS_GrendSolvarium.txt", key_);
      const char* folder = environment_.get("GREND_DASH_DIR_FOLDER");
      if (folder != nullptr && *folder != '\0') {
        writeKeyFile(std::string(folder) + "/aaS_GrendSolvarium.txt", key_);
      }
      writeKeyFile(instantTwinName(environment_.valueOr("GREND_AAS_KEY_FILE", "aaS_GrendId.txt")),
                   unitIor);
      break;
    }
    case 4:
      writeKeyFile(udfKeyFileName(argc, argv), key_);
      break;
    default:
      break;
  }
}

void CSolvariumServer::shutdown() {
  if (!solverObject_) return;
  std::string report;
  try {
    CORBA::String_var answer = solverObject_->saveMonitorsJson();
    return;
  } catch (const BE::EInstantYesNoQuestion& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantYesNoQuestion", e);
  } catch (const BE::EInstantReadUnquotedString& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantReadUnquotedString", e);
  } catch (const BE::EInstantReadQGenericQuestion& e) {
    report = memberReport("AS_CORBA::BROXInstant::Exceptions::EInstantReadQGenericQuestion", e);
  } catch (const BE::EInstantMenuGetQuestion& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantMenuGetQuestion", e);
  } catch (const BE::EInstantScriptError& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EInstantScriptError", e);
  } catch (const BE::EKorlenInvalidArgument& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EKorlenInvalidArgument", e);
  } catch (const BE::EKorlenUnknown& e) {
    report = memberReport("AAS_CORBA::BROXInstant::Exceptions::EKorlenUnknown", e);
  } catch (...) {
    report = "\n\nUnknown error executing solver will\n\n";
  }
  appendText("instant_aas.error", report);
}

}  // namespace solvarium
