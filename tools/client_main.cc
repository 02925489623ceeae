// solvarium-client: calls one operation of the service's interfaces.
//
//   solvarium-client [-n] [-ORBname value]... KEYFILE VERB [OP] [ARGS...]
//   solvarium-client --help | -h
//
// Output: the answer on stdout (strings raw plus "\n", booleans true/false,
// sequences one item per line, references as IOR text, octets to files).
// An exception: one JSON line on stdout (see exception_printer.h).
// Exit codes: 0 success, 1 user exception, 2 system exception, usage error,
// unreadable key file, wrong kind of key, local file error (message on stderr).
// --help prints the usage, each verb with its description, on stdout; exit 0.
#include <omniORB4/CORBA.h>

#include <csignal>
#include <cstdio>
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

std::string operationSyntax(const Operation& op) {
  std::string text = op.name;
  if (!op.argSyntax.empty()) text += (text.empty() ? "" : " ") + op.argSyntax;
  return text;
}

// The usage on `out`; `described` adds each verb's description under it.
void usage(std::FILE* out, const std::vector<Verb>& verbs, bool described) {
  std::fprintf(out,
               "usage: %s [-n] [-ORBoption value]... KEYFILE VERB [OPERATION] [ARGS...]\n"
               "  KEYFILE: a file holding an IOR (or the IOR text itself)\n"
               "  -n: print string results without the added newline\n"
               "verbs:\n",
               kProgram);
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
  bool help = false;  // --help or -h among the leading options
  bool appendNewline = true;
  std::vector<std::string> orbOptions;
  std::string key;
  std::vector<std::string> words;  // VERB [OPERATION] [ARGS...]
};

bool parseCommandLine(int argc, char** argv, Invocation* inv) {
  int i = 1;
  for (; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      inv->help = true;
      return true;
    } else if (arg == "-n") {
      inv->appendNewline = false;
    } else if (arg.rfind("-ORB", 0) == 0 && i + 1 < argc) {
      inv->orbOptions.push_back(arg);
      inv->orbOptions.push_back(argv[++i]);
    } else {
      break;
    }
  }
  if (argc - i < 2) return false;
  inv->key = argv[i++];
  for (; i < argc; ++i) inv->words.push_back(argv[i]);
  return true;
}

// Finds the operation and its arguments; nullptr when the words fit none.
const Operation* resolve(const std::vector<Verb>& verbs, const std::vector<std::string>& words,
                         OperationArgs* args) {
  for (const Verb& verb : verbs) {
    if (verb.name != words[0]) continue;
    for (const Operation& op : verb.operations) {
      size_t first = 1;
      if (!op.name.empty()) {
        if (words.size() < 2 || words[1] != op.name) continue;
        first = 2;
      }
      const std::vector<std::string> rest(words.begin() + first, words.end());
      if (op.joinRest) {
        if (rest.empty()) return nullptr;
        std::string joined;
        for (size_t k = 0; k < rest.size(); ++k) joined += (k ? " " : "") + rest[k];
        args->assign(1, joined);
      } else {
        if (rest.size() != op.argCount) return nullptr;
        *args = rest;
      }
      return &op;
    }
  }
  return nullptr;
}

CORBA::ORB_ptr initOrb(const std::vector<std::string>& extraOptions) {
  std::vector<std::string> options = {kProgram,
                                      "-ORBgiopMaxMsgSize", kMaxGiopMessageText,
                                      "-ORBnativeCharCodeSet", "UTF-8",
                                      "-ORBclientConnectTimeOutPeriod", "10000"};
  options.insert(options.end(), extraOptions.begin(), extraOptions.end());
  std::vector<char*> orbArgv;
  for (std::string& option : options) orbArgv.push_back(&option[0]);
  orbArgv.push_back(nullptr);
  int orbArgc = static_cast<int>(options.size());
  return CORBA::ORB_init(orbArgc, orbArgv.data(), "omniORB4");
}

int run(int argc, char** argv) {
  const std::vector<Verb> verbs = allVerbs();
  Invocation inv;
  OperationArgs args;
  const Operation* op = nullptr;
  const bool parsed = parseCommandLine(argc, argv, &inv);
  if (parsed && inv.help) {
    usage(stdout, verbs, true);
    return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
  }
  if (!parsed || (op = resolve(verbs, inv.words, &args)) == nullptr) {
    usage(stderr, verbs, false);
    return kExitFailure;
  }

  CORBA::ORB_var orb;
  int code = kExitOk;
  try {
    const std::string key = readKey(inv.key);
    orb = initOrb(inv.orbOptions);
    CORBA::Object_var target = orb->string_to_object(key.c_str());
    if (CORBA::is_nil(target)) throw ClientError("the key names no object (nil reference)");
    ClientContext ctx;
    ctx.orb = orb.in();
    ctx.target = target.in();
    ctx.appendNewline = inv.appendNewline;
    op->run(ctx, args);
  } catch (const CORBA::Exception& ex) {
    std::printf("%s\n", exceptionJson(ex).c_str());
    code = exitCodeFor(ex);
  } catch (const std::exception& error) {  // ClientError included
    std::fprintf(stderr, "%s: %s\n", kProgram, error.what());
    code = kExitFailure;
  }
  if (std::fflush(stdout) != 0 && code == kExitOk) code = kExitFailure;
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
