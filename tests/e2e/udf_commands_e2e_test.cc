// The UDF kind end to end: a description with resolved values and a Python
// main file made by the test, every kind of answer of the command
// interpreter, the generic servants of the kind, and SIGINT.
#include <signal.h>
#include <sys/socket.h>

#include <thread>

#include "tests/support/ior.h"
#include "tests/support/raw_giop.h"
#include "tests/support/udf_e2e_fixture.h"

namespace solvarium_test {
namespace {

const char kMain[] = R"(import sys
print("main file ran")
state = {"silent": "no"}
def solve(args):
    return "solved " + "|".join(args)
def pause_macro(args):
    return "paused"
def status(args):
    return "running\nmeshing"
def echo(args):
    print("echo", len(args), *args)
def noisy(args):
    print("working")
    return "done"
def number(args):
    return 42
class Boxed:
    value = "inside"
def boxed(args):
    return Boxed()
def boom(args):
    raise ValueError("bad input")
def quit(args):
    sys.exit(3)
def silent():
    state["silent"] = "yes"
def check(args):
    return state["silent"]
class Swallow:
    def write(self, text):
        sys.stderr = aasStdErr
    def flush(self):
        pass
def hidden():
    sys.stderr = Swallow()
    raise RuntimeError("unseen")
def breakout(args):
    aasStdOut.value = 5
    return "x"
def never(args):
    return "getenv macro ran"
def greet(args):
    return "grüße " + args[0]
def deep(args):
    def plain(n): return plain(n - 1) if n else 0
    def mapped(n): return list(map(mapped, [n - 1]))[0] if n else 0
    def keyed(n): return sorted([n - 1], key=keyed)[0] if n else 0
    def reach(f):
        try: f(sys.getrecursionlimit())
        except RecursionError: return "limit"
    done = [reach(f) for f in (plain, mapped, keyed)]
    thread = __import__("threading").Thread(target=lambda: done.append(reach(keyed)))
    thread.start(); thread.join()
    return " ".join(done)
)";

const char kCommands[] = R"( <aasCommand command="aaS.solve">solve</aasCommand>
 <aasCommand command="aaS.pause">
   pause_macro
 </aasCommand>
 <aasCommand command="aaS.get_status">{$UDF_STATUS_MACRO}</aasCommand>
 <aasCommand command="aaS.echo" output="stdout">echo</aasCommand>
 <aasCommand command="aaS.noisy">noisy</aasCommand>
 <aasCommand command="aaS.number">number</aasCommand>
 <aasCommand command="aaS.boxed">boxed</aasCommand>
 <aasCommand command="aaS.boom">boom</aasCommand>
 <aasCommand command="aaS.quit">quit</aasCommand>
 <aasCommand command="aaS.silent" input="none" output="none">silent</aasCommand>
 <aasCommand command="aaS.check">check</aasCommand>
 <aasCommand command="aaS.hidden" input="none" output="stdout">hidden</aasCommand>
 <aasCommand command="aaS.breakout">breakout</aasCommand>
 <aasCommand command="aaS.getenv">never</aasCommand>
 <aasCommand command="aaS.greet">greet</aasCommand>
 <aasCommand command="aaS.deep">deep</aasCommand>
 <aasCommand input="argv">nameless</aasCommand>
)";

class UdfCommandsTest : public UdfE2eTest {};

TEST_F(UdfCommandsTest, ServesConfiguredMacrosAndGenericCommands) {
  writeFile(workFile("main_name.txt"), "main.py");
  writeDescription(solverInfo({{"solverName", "<solverName>{$UDF_NAME}-solver</solverName>"},
                               {"accessType",
                                "<accessType format=\"environment_variable\">UDF_ACCESS</accessType>"},
                               {"pythonMainFile",
                                "<pythonMainFile format=\"filename\">main_name.txt</pythonMainFile>"},
                               {"solverPid", "<solverPid>{$UDF_PID}</solverPid>"}}),
                   kCommands, "custom.xml");
  writeMain(kMain);
  ServiceProcess::Options o =
      udfOptions({"-aas-config-file", "custom.xml", "-aas-key-file", "unit_key.txt"});
  o.env["UDF_NAME"] = "flow";
  o.env["UDF_ACCESS"] = "instant-udf";
  o.env["UDF_PID"] = solver().pidText();
  o.env["UDF_STATUS_MACRO"] = "status";
  o.env["UDF_SET"] = "set value";
  o.env["UDF_EMPTY"] = "";
  ServiceProcess& svc = startUdf(o, "unit_key.txt");

  // Start-up: the key is the generic solver unit, printed, sent and written.
  const std::string key = readFile(workFile("unit_key.txt"));
  EXPECT_EQ(iorTypeId(key), "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0");
  EXPECT_EQ(svc.stdoutText(), "Solvarium starting...\n\nSolvarium key: \n" + key + "\n");
  EXPECT_TRUE(sessionManager().waitForBytes(key.size(), seconds(5)));
  EXPECT_EQ(sessionManager().received(), key);
  EXPECT_FALSE(fileExists(workFile("aaSUdf_Id.txt")));
  // The nameless command is ignored with a line in the error file.
  EXPECT_EQ(readFile(udfErrorFile()),
            "Error! aasCommand without a command name is ignored (macro <nameless>)\n");

  // The generic servants of the kind.
  auto unit = udf().solverUnit();
  CORBA::String_var id = unit->getSolverId();
  CORBA::String_var access = unit->getAcessType();
  EXPECT_STREQ(id.in(), "flow-solver");
  EXPECT_STREQ(access.in(), "instant-udf");
  auto scripting = udf().scripting();
  CORBA::String_var language = scripting->getScriptingLanguageId();
  CORBA::String_var scriptingAccess = scripting->getAcessType();
  EXPECT_STREQ(language.in(), "aas_udf_instant_aas");
  EXPECT_STREQ(scriptingAccess.in(), "instant-udf");
  auto refused = [&](const std::function<void()>& call) {
    return capture([&] {
      call();
      return std::string();
    });
  };
  const char notSupported[] = "Method is not supported in current aaS UDF version.";
  EXPECT_TRUE(isException(refused([&] { unit->getCollaborativeSolverUnit(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getCollaborativeCoSolverUnit"},
                           {"errorInfo", notSupported}}));
  EXPECT_TRUE(isException(refused([&] { unit->getInstantSolverUnit(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getInstantCoSolverUnit"},
                           {"errorInfo", notSupported}}));
  // getStatus asks the configured "aaS.get_status" and splits its answer.
  KORLEN_AAS_v1_0_0::Types::CoStrings_var states = scripting->getStatus();
  ASSERT_EQ(states->length(), 2u);
  EXPECT_STREQ(states[0].in(), "meshing");
  EXPECT_STREQ(states[1].in(), "running");

  // Macro answers; the main file's output is not blamed on the first macro.
  ServiceClient& c = udf();
  EXPECT_EQ(c.execute("aaS.solve a b"), "solved a|b");
  EXPECT_EQ(c.execute("aaS.solve"), "solved ");
  EXPECT_EQ(c.execute("aaS.pause"), "paused");
  EXPECT_EQ(c.execute("aaS.echo x y"), "echo 2 x y\n");
  // Recursion to Python's limit, through C functions too, on a request's
  // thread and on a thread of the macro's own.
  EXPECT_EQ(c.execute("aaS.deep"), "limit limit limit limit");
  EXPECT_EQ(c.execute("aaS_internal.tic_one_minute"), "");
  EXPECT_EQ(c.execute("aaS.suggest"),
            "aaS.boom\naaS.boxed\naaS.breakout\naaS.check\naaS.deep\naaS.echo\naaS.get_status\n"
            "aaS.getenv\naaS.greet\naaS.hidden\naaS.noisy\naaS.number\naaS.pause\naaS.quit\naaS.silent\n"
            "aaS.solve\naaS.suggest\n");
  EXPECT_EQ(c.execute("aaS.implements.solve"), "True");
  EXPECT_EQ(c.execute("aaS.implements.pause"), "False");  // continue and get_paused_index missing
  EXPECT_EQ(c.execute("aaS.implements.suggest"), "False");
  EXPECT_EQ(c.execute("aaS.implements.getenv"), "True");
  EXPECT_EQ(c.execute("aaS.getenv UDF_SET"), "set value");  // the configured macro never runs
  // UTF-8 both ways; Python left the service's locale and environment alone.
  EXPECT_EQ(c.execute("aaS.greet Zo\xC3\xAB"), "gr\xC3\xBC\xC3\x9F" "e Zo\xC3\xAB");
  EXPECT_TRUE(isException(c.tryExecute("aaS.getenv LC_CTYPE"), "EUnknown", {{"code", "1"}}));
  EXPECT_TRUE(isException(c.tryExecute("aaS.greet \xFF"), "EInvalidArgument",
                          {{"description", "Invalid UTF-8 text"}, {"position", "1"}}));

  auto scriptError = [](const std::string& command, const std::string& info,
                        const std::string& output) {
    return std::map<std::string, std::string>{
        {"errorType", "1"}, {"command", command}, {"errorInfo", info}, {"commandOutput", output}};
  };
  EXPECT_TRUE(isException(c.tryExecute("aaS.noisy"), "EScriptGenericError",
                          scriptError("aaS.noisy", "WARNING:\n\nworking\n", "done")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.number"), "EScriptGenericError",
                          scriptError("aaS.number",
                                      "ERROR!\nnumber([]) returned a non-string result\n"
                                      "\nResult Type is <int>\n",
                                      "")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.boxed"), "EScriptGenericError",
                          scriptError("aaS.boxed",
                                      "ERROR!\nboxed([]) returned a non-string result\n"
                                      "\nResult Type is <Boxed>\n",
                                      "inside")));
  // A raising macro never reports the result an earlier command left behind.
  Outcome boom = c.tryExecute("aaS.boom 1");
  EXPECT_TRUE(isException(boom, "EScriptGenericError", {{"commandOutput", ""}}));
  EXPECT_EQ(boom.member("errorInfo").rfind("ERROR!\nboom([\"1\"]) failed!\n\nstderr:\nTraceback", 0),
            0u)
      << boom;
  EXPECT_NE(boom.member("errorInfo").find("ValueError: bad input\n\n"), std::string::npos) << boom;
  // sys.exit() is a script error and the service goes on.
  Outcome quit = c.tryExecute("aaS.quit");
  EXPECT_TRUE(isException(quit, "EScriptGenericError", {{"command", "aaS.quit"}}));
  EXPECT_NE(quit.member("errorInfo").find("SystemExit: 3"), std::string::npos) << quit;
  EXPECT_EQ(c.execute("aaS.solve again"), "solved again");
  // Output kind "none": the macro runs, then the command is unknown.
  EXPECT_EQ(c.execute("aaS.check"), "no");
  EXPECT_TRUE(isException(c.tryExecute("aaS.silent"), "EScriptGenericError",
                          scriptError("aaS.silent", "Unknown instant aaS command", "")));
  EXPECT_EQ(c.execute("aaS.check"), "yes");
  // A failure whose traceback never reached the error capture is a failure.
  EXPECT_TRUE(isException(c.tryExecute("aaS.hidden"), "EScriptGenericError",
                          scriptError("aaS.hidden", "ERROR!\nhidden() failed!\n", "")));
  // An unreadable capture is reported, and both captures are emptied anyway.
  EXPECT_TRUE(isException(c.tryExecute("aaS.breakout"), "EScriptGenericError",
                          scriptError("retrieve stdout and stderr from Python",
                                      "ERROR: Cannot access Python stdout content!", "")));
  EXPECT_EQ(c.execute("aaS.echo z"), "echo 1 z\n");

  // The interpreter's own refusals, member for member.
  EXPECT_TRUE(isException(c.tryExecute("aaS.solve a.b"), "EInvalidArgument",
                          {{"code", "1"},
                           {"description", "Invalid special character"},
                           {"scope", "Instant aaS UDF"},
                           {"interfaceName", "ICoScriptingUnit"},
                           {"operation", "executeCommandToString"},
                           {"moreInfo", "Command:\naaS.solve a.b"},
                           {"position", "1"}}));
  EXPECT_TRUE(isException(c.tryExecute("aaS.so;lve"), "EInvalidArgument", {{"position", "0"}}));
  EXPECT_TRUE(isException(c.tryExecute("aaS.solve ok \"q\""), "EInvalidArgument",
                          {{"position", "2"}}));
  EXPECT_TRUE(isException(c.tryExecute(" \t\r\n "), "EUnknown",
                          {{"code", "1"},
                           {"description", "Empty aaS UDF command"},
                           {"scope", ""},
                           {"interfaceName", ""},
                           {"operation", ""},
                           {"moreInfo", ""}}));
  EXPECT_TRUE(isException(c.tryExecute("aaS.nothing"), "EScriptGenericError",
                          scriptError("aaS.nothing", "Unknown instant aaS command", "")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.suggest x"), "EScriptGenericError",
                          scriptError("aaS.suggest x",
                                      "Default aaS.suggest does not support parameters.", "")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.implements."), "EScriptGenericError",
                          scriptError("aaS.implements.",
                                      "Please provide the name of aaS command you are checking "
                                      "for existence, e.g.:\naaS.implements.pause",
                                      "")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.implements.solve x"), "EScriptGenericError",
                          scriptError("aaS.implements.solve x",
                                      "This command does not have parameters.", "")));
  EXPECT_TRUE(isException(c.tryExecute("aaS.getenv"), "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "Please provide name of environment variable"},
                           {"defaultAnswer", ""},
                           {"questionHelp", ""},
                           {"questionMessage", ""}}));
  EXPECT_TRUE(isException(c.tryExecute("aaS.getenv a b"), "EScriptGenericError",
                          scriptError("aaS.getenv a b", "Invalid command[b]", "")));
  const std::map<std::string, std::string> missing = {
      {"code", "1"},
      {"description", "Environment variable does not exist!"},
      {"scope", "AAS_UDF Instant aaS"},
      {"interfaceName", "ICoAasUdfUnit"},
      {"operation", "executeCommandToString('aaS.get_env')"},
      {"moreInfo", "UDF_UNSET"}};
  EXPECT_TRUE(isException(c.tryExecute("aaS.getenv UDF_UNSET"), "EUnknown", missing));
  EXPECT_TRUE(isException(c.tryExecute("aaS.getenv UDF_EMPTY"), "EUnknown",
                          {{"code", "2"}, {"moreInfo", "UDF_EMPTY"}}));

  // SIGINT still ends the service with Python loaded, in order: exit code 0.
  ASSERT_EQ(::kill(svc.pid(), SIGINT), 0);
  EXPECT_EQ(svc.waitForExit(seconds(10)), std::optional<int>(0));
  EXPECT_NE(svc.stderrText().find("SIGINT received: shutting down\n"), std::string::npos);
}

// A command with many arguments reaches the macro as one list of str, in
// order and unchanged, and leaves no name of its own in the main module.
TEST_F(UdfCommandsTest, HandsManyArgumentsAsOneList) {
  writeDescription(solverInfo(), R"( <aasCommand command="aaS.many">many</aasCommand>
 <aasCommand command="aaS.leftover" input="none">leftover</aasCommand>
)");
  writeMain(R"(def many(args):
    return type(args).__name__ + " " + str(len(args)) + " " + "|".join(args)
def leftover():
    return " ".join(sorted(set(globals()) - known))
known = set(globals()) | {"known", "aas_3p_result"}
)");
  startUdf(udfOptions());
  std::string command = "aaS.many";
  std::string expected = "list 200000 ";
  for (int i = 0; i < 200000; ++i) {
    const std::string argument = i == 100000 ? "Zo\xC3\xAB" : "w" + std::to_string(i);
    command += (i % 2 == 0 ? " " : "\t") + argument;
    expected += (i == 0 ? "" : "|") + argument;
  }
  const Outcome many = udf().tryExecute(command);
  ASSERT_TRUE(many.ok) << many;
  EXPECT_TRUE(many.answer == expected) << many.answer.substr(0, 200);
  EXPECT_EQ(udf().execute("aaS.leftover"), "");
}

// Hostile macros: printed output is gathered in linear time and capped, a
// macro name is looked up and called (never run as code), a macro that
// removes the capture names from the main module breaks no later command,
// neither closed descriptors nor a macro's printing thread reach a client,
// and the stop signals' handlers that a macro replaces come back.
TEST_F(UdfCommandsTest, MacrosCannotTakeOverTheBridge) {
  writeDescription(solverInfo(), R"(
 <aasCommand command="aaS.lines" output="stdout">lines</aasCommand>
 <aasCommand command="aaS.flood" output="stdout">flood</aasCommand>
 <aasCommand command="aaS.dump">json.dumps</aasCommand>
 <aasCommand command="aaS.absent">jsn</aasCommand>
 <aasCommand command="aaS.member">json.nothing</aasCommand>
 <aasCommand command="aaS.injected">{$UDF_INJECTED}</aasCommand>
 <aasCommand command="aaS.vanish" input="none">vanish</aasCommand>
 <aasCommand command="aaS.echo" output="stdout">echo</aasCommand>
 <aasCommand command="aaS.fds">fds</aasCommand>
 <aasCommand command="aaS.closer">closer</aasCommand>
 <aasCommand command="aaS.chatter">chatter</aasCommand>
 <aasCommand command="aaS.fault">fault</aasCommand>
)");
  writeMain(R"(import faulthandler, json, os, signal, sys, threading, time
def fds(args):
    return "|".join(os.readlink("/proc/self/fd/%d" % i) for i in (0, 1, 2))
def closer(args):
    os.close(1); os.close(2)
    threading.Timer(0.3, lambda: [os.close(1), os.close(2)]).start()
    return "closed"
def chatter(args):
    def loop():
        for i in range(20000):
            print("chatter", i); time.sleep(0.0001)
    threading.Thread(target=loop).start()
    return "started"
def lines(args):
    for i in range(160000):
        print("line", i)
def flood(args):
    for i in range(40000):
        print("x" * 999)
def vanish():
    for name in ("aasStdOut", "aasStdErr", "AasStdOut", "AasStdErr"):
        del globals()[name]
    return "gone"
def echo(args):
    print("echo", *args)
def fault(args):
    return [faulthandler.register(s, file=sys.__stderr__) for s in (signal.SIGTERM, signal.SIGINT)] and "ok"
)");
  ServiceProcess::Options o = udfOptions();
  o.env["UDF_INJECTED"] = "open('injected.txt','w').write";
  // faulthandler swaps in its own alternate signal stack, which AddressSanitizer
  // would unmap as its own when the thread ends.
  o.env["ASAN_OPTIONS"] += ":use_sigaltstack=0";
  startUdf(o);
  ServiceClient& c = udf();

  std::string lines;
  for (int i = 0; i < 160000; ++i) lines += "line " + std::to_string(i) + "\n";
  const auto start = std::chrono::steady_clock::now();
  const Outcome printed = c.tryExecute("aaS.lines");
  EXPECT_LT(std::chrono::steady_clock::now() - start, seconds(10));  // over 60 s when quadratic
  EXPECT_TRUE(printed.ok && printed.answer == lines) << printed.answer.substr(0, 200);
  // 40 million characters: the first 32 Mi and a line saying so.
  std::string flood;
  for (int i = 0; i < 40000; ++i) flood += std::string(999, 'x') + "\n";
  flood.resize(std::size_t{32} << 20);
  flood += "\n[output truncated after 33554432 characters]\n";
  const Outcome flooded = c.tryExecute("aaS.flood");
  EXPECT_TRUE(flooded.ok && flooded.answer == flood)
      << flooded.answer.size() << " " << flooded.answer.substr(flooded.answer.size() - 100);

  EXPECT_EQ(c.execute("aaS.dump a b"), "[\"a\", \"b\"]");
  const std::string traceback =
      "Traceback (most recent call last):\n  File \"<string>\", line 1, in <module>\n";
  EXPECT_TRUE(isException(c.tryExecute("aaS.absent"), "EScriptGenericError",
                          {{"errorInfo", "ERROR!\njsn([]) failed!\n\nstderr:\n" + traceback +
                                             "NameError: name 'jsn' is not defined. Did you "
                                             "mean: 'json'?\n\n"}}));
  EXPECT_TRUE(isException(
      c.tryExecute("aaS.member"), "EScriptGenericError",
      {{"errorInfo", "ERROR!\njson.nothing([]) failed!\n\nstderr:\n" + traceback +
                         "AttributeError: module 'json' has no attribute 'nothing'\n\n"}}));
  const Outcome injected = c.tryExecute("aaS.injected");
  EXPECT_TRUE(isException(injected, "EScriptGenericError", {{"command", "aaS.injected"}}));
  EXPECT_NE(injected.member("errorInfo").find("\nValueError: the macro is not a dotted name"),
            std::string::npos)
      << injected;
  EXPECT_FALSE(fileExists(workFile("injected.txt"))) << injected;

  EXPECT_EQ(c.execute("aaS.vanish"), "gone");
  EXPECT_EQ(c.execute("aaS.echo a"), "echo a\n");

  // Descriptors 0-2 that a macro closes come back after it; clients that
  // take them when closed behind the service's back never get its output.
  const std::string streams = c.execute("aaS.fds");
  EXPECT_EQ(c.execute("aaS.closer"), "closed");
  EXPECT_EQ(c.tryExecute("aaS.fds").answer, streams);
  std::this_thread::sleep_for(milliseconds(600));
  const IiopAddress to = iorAddress(readFile(workFile("aaSUdf_Id.txt")));
  const int idle[] = {connectTo(to.host, to.port), connectTo(to.host, to.port)};
  capture([&] { return std::to_string(c.fileSystem()->downloadFile("../outside")->length()); });
  EXPECT_TRUE(service().waitForStderr("outside"));
  EXPECT_EQ(c.execute("aaS.dump x"), "[\"x\"]");  // its restore leaves them alone
  char byte;
  for (int fd : idle) {
    EXPECT_EQ(::recv(fd, &byte, 1, MSG_DONTWAIT), -1);
    EXPECT_TRUE(sendThrottled(fd, giopRequest(1, to.objectKey, "_non_existent", "", false), 0) &&
                readReplyStatus(fd, 5000) == 0);  // still the client's connection
  }
  for (int fd : idle) ::close(fd);
  // A macro's thread printing on after its call reaches no answer.
  EXPECT_EQ(c.tryExecute("aaS.chatter").answer, "started");
  int exact = 0;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    exact += c.tryExecute("aaS.dump " + n).answer == "[\"" + n + "\"]";
  }
  EXPECT_EQ(exact, 40);
  EXPECT_TRUE(service().waitForStderr("chatter"));

  // A macro that takes the stop signals' handlers takes them for its call only.
  EXPECT_EQ(c.execute("aaS.fault"), "ok");
  EXPECT_TRUE(service().waitForStderr("The SIGINT handler was replaced during a macro: put back\n"));
  ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
  EXPECT_EQ(service().waitForExit(seconds(10)), std::optional<int>(0));
}

}  // namespace
}  // namespace solvarium_test
