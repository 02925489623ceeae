// solvarium-client: calls one operation of the service's interfaces.
//
//   solvarium-client [-n] [--timeout SECONDS] [-ORBname value]... KEYFILE VERB [OP] [ARGS...]
//   solvarium-client --help | -h | --version
//
// Output: the answer on stdout (strings raw plus "\n", booleans true/false,
// sequences one item per line, references as IOR text, octets to files).
// An exception: one JSON line on stdout (see exception_printer.h).
// Exit codes: 0 success, 1 user exception, 2 system exception, usage error,
// unreadable key file, wrong kind of key, local file error, a call forwarded
// in a loop (message on stderr). A call that gets no answer within the time-out
// ends with the TIMEOUT system exception.
// --help prints the usage, each verb with its description, on stdout; exit 0.
// A usage error prints what was wrong, then the usage, on stderr; exit 2.
#include <omniORB4/CORBA.h>

#include <omniORB4/omniInterceptors.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/message_limits.h"
#include "tools/client_verbs.h"
#include "tools/exception_printer.h"
#include "tools/key_file.h"

namespace solvarium {
namespace client {
namespace {

const char* const kProgram = "solvarium-client";

// Default call time-out: a whole file at the transfer limit (2 GiB) at about
// 4 MB/s.
const unsigned long kDefaultTimeoutSeconds = 600;

// Requests one run may send. A verb makes a few calls; a server that answers
// every request with a LOCATION_FORWARD to itself would make the ORB send
// requests without end.
const unsigned kMaxRequests = 100;
std::atomic<unsigned> requestsSent{0};
// Whether the last request sent got a reply (an exception included).
std::atomic<bool> lastRequestAnswered{false};

CORBA::Boolean countRequest(omni::omniInterceptors::clientSendRequest_T::info_T&) {
  lastRequestAnswered = false;
  if (++requestsSent > kMaxRequests) {
    throw ClientError("gave up after " + std::to_string(kMaxRequests) +
                      " requests: the server forwards the call in a loop");
  }
  return true;
}

CORBA::Boolean noteReply(omni::omniInterceptors::clientReceiveReply_T::info_T&) {
  lastRequestAnswered = true;
  return true;
}

std::string operationSyntax(const Operation& op) {
  std::string text = op.name;
  if (!op.argSyntax.empty()) text += (text.empty() ? "" : " ") + op.argSyntax;
  return text;
}

// The usage on `out`; `described` adds each verb's description under it.
void usage(std::FILE* out, const std::vector<Verb>& verbs, bool described) {
  std::fprintf(out,
               "usage: %s [-n] [--timeout SECONDS] [-ORBoption value]... KEYFILE VERB "
               "[OPERATION] [ARGS...]\n"
               "       %s --help | --version\n"
               "  KEYFILE: a file holding an IOR (or the IOR text itself)\n"
               "  -n: print string results without the added newline\n"
               "  --timeout: seconds a call may take (default %lu; 0: no limit)\n"
               "verbs:\n",
               kProgram, kProgram, kDefaultTimeoutSeconds);
  for (const Verb& verb : verbs) {
    std::string line = "  " + verb.name + " ";
    for (size_t i = 0; i < verb.operations.size(); ++i) {
      if (i > 0) line += " | ";
      line += operationSyntax(verb.operations[i]);
    }
    std::fprintf(out, "%s\n", line.c_str());
    if (described) std::fprintf(out, "      %s\n", verb.what.c_str());
  }
  std::fprintf(out,
               "output: the answer on stdout; an exception as one JSON line on stdout\n"
               "exit: 0 success, 1 user exception, 2 system exception or client error\n");
}

struct Invocation {
  bool help = false;     // --help or -h among the leading options
  bool version = false;  // --version among the leading options
  bool appendNewline = true;
  unsigned long timeoutSeconds = kDefaultTimeoutSeconds;
  std::vector<std::string> orbOptions;
  std::string key;
  std::vector<std::string> words;  // VERB [OPERATION] [ARGS...]
};

// Reads the options and the words; "" or what is wrong.
std::string parseCommandLine(int argc, char** argv, Invocation* inv) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      inv->help = true;
      return "";
    } else if (arg == "--version") {
      inv->version = true;
      return "";
    } else if (arg == "-n") {
      inv->appendNewline = false;
    } else if (arg == "--timeout") {
      const std::string value = i + 1 < argc ? argv[++i] : "";
      char* end = nullptr;
      inv->timeoutSeconds = std::strtoul(value.c_str(), &end, 10);
      if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' ||
          inv->timeoutSeconds > 4000000) {
        return "--timeout takes a number of seconds, not '" + value + "'";
      }
    } else if (arg.rfind("-ORB", 0) == 0 && i + 1 < argc) {
      inv->orbOptions.push_back(arg);
      inv->orbOptions.push_back(argv[++i]);
    } else if (arg.size() > 1 && arg[0] == '-' && arg.rfind("-ORB", 0) != 0) {
      return "unknown option '" + arg + "'";
    } else {
      break;
    }
  }
  if (i == argc) return "missing KEYFILE and VERB";
  if (i + 1 == argc) return "missing VERB after KEYFILE";
  inv->key = argv[i++];
  for (; i < argc; ++i) inv->words.push_back(argv[i]);
  return "";
}

std::string argumentCount(size_t count) {
  return std::to_string(count) + (count == 1 ? " argument" : " arguments");
}

// Finds the operation and its arguments; nullptr when the words fit none,
// with what is wrong in `*error`.
const Operation* resolve(const std::vector<Verb>& verbs, const std::vector<std::string>& words,
                         OperationArgs* args, std::string* error) {
  const Verb* verb = nullptr;
  for (const Verb& candidate : verbs) {
    if (candidate.name == words[0]) verb = &candidate;
  }
  if (verb == nullptr) {
    *error = "unknown verb '" + words[0] + "'";
    return nullptr;
  }
  for (const Operation& op : verb->operations) {
    size_t first = 1;
    if (!op.name.empty()) {
      if (words.size() < 2 || words[1] != op.name) continue;
      first = 2;
    }
    const std::string called = verb->name + (op.name.empty() ? "" : " " + op.name);
    const std::vector<std::string> rest(words.begin() + first, words.end());
    if (op.joinRest) {
      if (rest.empty()) {
        *error = "'" + called + "' needs " + op.argSyntax;
        return nullptr;
      }
      std::string joined;
      for (size_t k = 0; k < rest.size(); ++k) joined += (k ? " " : "") + rest[k];
      args->assign(1, joined);
    } else {
      if (rest.size() != op.argCount) {
        *error = "'" + called + "' takes " + argumentCount(op.argCount) + ", not " +
                 std::to_string(rest.size());
        return nullptr;
      }
      *args = rest;
    }
    return &op;
  }
  *error = words.size() < 2 ? "missing OPERATION after '" + verb->name + "'"
                            : "unknown operation '" + words[1] + "' of '" + verb->name + "'";
  return nullptr;
}

// True when the key's object answered the failed call and, asked again,
// exists: the service passed on the failure of a partner it called.
bool passedOn(CORBA::Object_ptr target) {
  if (!lastRequestAnswered || CORBA::is_nil(target)) return false;
  try {
    return !target->_non_existent();
  } catch (const CORBA::Exception&) {
    return false;
  } catch (const ClientError&) {
    return false;
  }
}

// The stderr line for a key that names no object, or no longer a served one,
// or for a partner's failure that the key's service passed on; empty for
// other failures. `readingKey`: raised while the key was read.
std::string keyFailure(const CORBA::Exception& ex, bool readingKey, CORBA::Object_ptr target) {
  if (readingKey &&
      (CORBA::BAD_PARAM::_downcast(&ex) != nullptr || CORBA::MARSHAL::_downcast(&ex) != nullptr)) {
    return "the key holds no object reference (IOR:, corbaloc: or corbaname: text)";
  }
  const bool unreachable = CORBA::TRANSIENT::_downcast(&ex) != nullptr;
  if (!unreachable && CORBA::OBJECT_NOT_EXIST::_downcast(&ex) == nullptr) return "";
  if (passedOn(target)) {
    return std::string("the key's service answers; the failure is its partner's: ") +
           (unreachable ? "no service answers at the partner's address"
                        : "the partner's object does not exist");
  }
  return unreachable
             ? "no service answers at the key's address: it has stopped, or cannot be reached"
             : "the key's object does not exist: the service that wrote the key has stopped";
}

CORBA::ORB_ptr initOrb(const Invocation& inv) {
  // The first call on a new connection may take the longer of the two
  // time-outs: connecting gives up sooner when the call time-out is shorter.
  const unsigned long callMs = inv.timeoutSeconds * 1000;
  const unsigned long connectMs = callMs > 0 && callMs < 10000 ? callMs : 10000;
  std::vector<std::string> options = {kProgram,
                                      "-ORBgiopMaxMsgSize", std::to_string(kMaxGiopMessageBytes),
                                      "-ORBnativeCharCodeSet", "UTF-8",
                                      "-ORBclientConnectTimeOutPeriod", std::to_string(connectMs)};
  if (callMs > 0) {
    options.push_back("-ORBclientCallTimeOutPeriod");
    options.push_back(std::to_string(callMs));
  }
  options.insert(options.end(), inv.orbOptions.begin(), inv.orbOptions.end());
  std::vector<char*> orbArgv;
  for (std::string& option : options) orbArgv.push_back(&option[0]);
  orbArgv.push_back(nullptr);
  int orbArgc = static_cast<int>(options.size());
  CORBA::ORB_ptr orb = CORBA::ORB_init(orbArgc, orbArgv.data(), "omniORB4");
  omniORB::getInterceptors()->clientSendRequest.add(countRequest);
  omniORB::getInterceptors()->clientReceiveReply.add(noteReply);
  return orb;
}

int run(int argc, char** argv) {
  const std::vector<Verb> verbs = allVerbs();
  Invocation inv;
  OperationArgs args;
  const Operation* op = nullptr;
  std::string wrong = parseCommandLine(argc, argv, &inv);
  if (wrong.empty() && inv.help) {
    usage(stdout, verbs, true);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
  }
  if (wrong.empty() && inv.version) {
    std::printf("%s %s\n", kProgram, SOLVARIUM_VERSION);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
  }
  if (wrong.empty()) op = resolve(verbs, inv.words, &args, &wrong);
  if (op == nullptr) {
    std::fprintf(stderr, "%s: %s\n", kProgram, wrong.c_str());
    usage(stderr, verbs, false);
    return kExitFailure;
  }

  CORBA::ORB_var orb;
  CORBA::Object_var target;
  int code = kExitOk;
  bool readingKey = false;
  try {
    const std::string key = readKey(inv.key);
    orb = initOrb(inv);
    readingKey = true;
    target = orb->string_to_object(key.c_str());
    readingKey = false;
    if (CORBA::is_nil(target)) throw ClientError("the key names no object (nil reference)");
    ClientContext ctx;
    ctx.orb = orb.in();
    ctx.target = target.in();
    ctx.appendNewline = inv.appendNewline;
    op->run(ctx, args);
  } catch (const CORBA::Exception& ex) {
    std::printf("%s\n", exceptionJson(ex).c_str());
    code = exitCodeFor(ex);
    const std::string cause = keyFailure(ex, readingKey, target.in());
    if (!cause.empty()) std::fprintf(stderr, "%s: %s\n", kProgram, cause.c_str());
  } catch (const std::exception& error) {  // ClientError included
    std::fprintf(stderr, "%s: %s\n", kProgram, error.what());
    code = kExitFailure;
  }
  if (std::fflush(stdout) != 0 && code == kExitOk) code = kExitFailure;
  target = CORBA::Object::_nil();  // released before its ORB goes
  if (!CORBA::is_nil(orb)) {
    try {
      orb->destroy();
    } catch (const CORBA::Exception&) {
      // Nothing left to do: the answer is already out.
    }
  }
  return code;
}

}  // namespace
}  // namespace client
}  // namespace solvarium

int main(int argc, char** argv) {
  std::signal(SIGPIPE, SIG_IGN);
  return solvarium::client::run(argc, argv);
}
