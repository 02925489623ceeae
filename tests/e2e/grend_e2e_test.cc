// The Grend kind over IIOP: start-up files and keys, the commands of a fresh
// service, the solver side's broadcasts and monitor-file messages, the
// monitor listings and "monitor.json" byte for byte, hostile monitor files,
// links and save targets, and the saves by tick, "solver-shutdown", shutdown
// and the watcher.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <string>

#include "tests/support/grend_e2e_fixture.h"

namespace solvarium_test {
namespace {

const char kMntr[] = "Monitor\n LOAD  TOTL\n STEP  ITER\n    1     2\n    2     5\n";
const char kGst[] =
    "<SOLUTION><LOADSTEPDATA><HEADER><UNITS>N</UNITS><COLUMN ID=\"1\">Time</COLUMN>"
    "<COLUMN ID=\"2\">Force</COLUMN></HEADER><COLDATA>0.5 10 1. 12</COLDATA>"
    "</LOADSTEPDATA></SOLUTION>";
const char kCnd[] =
    "<SOLUTION><HEADER><UNITS>MPA</UNITS><COLUMN ID=\"1\">PAIR</COLUMN>"
    "<COLUMN ID=\"2\">PRES</COLUMN></HEADER>"
    "<COLDATA LOAD_STEP=\"1\" SUBSTEP=\"1\" ITERATION=\"3\" TIME=\"0.5\">3 1.5</COLDATA>"
    "</SOLUTION>";
const char kNlh[] =
    "<SOLUTION><HEADER><COLUMN ID=\"1\">Time</COLUMN>"
    "<COLUMN ID=\"2\" CONTACT_PAIR=\"3\" ITEM=\"P\" COMP=\"X\">P3</COLUMN></HEADER>"
    "<COLDATA>0.1 1 0.2 2</COLDATA></SOLUTION>";

// Peak resident memory of a process (VmHWM) in KiB; LONG_MAX when unknown.
long peakMemoryKiB(pid_t pid) {
  const std::string status = readFile("/proc/" + std::to_string(pid) + "/status");
  const std::size_t at = status.find("VmHWM:");
  return at == std::string::npos ? LONG_MAX : std::strtol(status.c_str() + at + 6, nullptr, 10);
}

class GrendServiceTest : public GrendE2eTest {
 protected:
  std::string head(const std::string& base, const std::string& ext, const std::string& what) {
    return "{\n\t\"name\":\"" + dashFile(base) + "\"\n\t,\"file\":\"" + dashFile(base) + ext +
           "\"\n\t,\"description\":\"" + what + "\"\n";
  }
  std::string mntr(bool firstRow) {
    return "{\n\t\"name\":\"Monitor\"\n\t,\"file\":\"" + dashFile("job.mntr") +
           "\"\n\t,\"description\":\"Solution Monitor\"\n\t,\"additionalInfo\":\"Not recorded\"\n"
           "\t,\"columnHeaders\":\n\t[\n\t\t\"LOAD STEP\"\n\t\t,\"TOTL ITER\"\n\t]\n"
           "\t,\"LOAD STEP\":\n\t[\n" +
           (firstRow ? "\t\t1\n\t\t,2\n" : "\t\t2\n") +
           "\t]\n\t,\"currentLoadStep\":2\n\t,\"TOTL ITER\":\n\t[\n" +
           (firstRow ? "\t\t2\n\t\t,5\n" : "\t\t5\n") + "\t]\n\t,\"currentTotlIter\":5\n}\n";
  }
  std::string gst(bool firstRow) {
    return head("track", ".gst", "Graphical Solution Tracking data") +
           "\t,\"persistedData\":\n\t{\n\t\t\"units\":\"N\"\n\t\t,\"currentTime\":1\n"
           "\t\t,\"currentForce\":12\n\t\t,\"xAxis\":\"Time\"\n"
           "\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"Force\"\n\t\t]\n\t\t,\"Time\":\n\t\t[\n" +
           (firstRow ? "\t\t\t0.5\n\t\t\t,1\n" : "\t\t\t1\n") + "\t\t]\n\t\t,\"Force\":\n\t\t[\n" +
           (firstRow ? "\t\t\t10\n\t\t\t,12\n" : "\t\t\t12\n") + "\t\t]\n\t}\n}";
  }
  std::string cnd() {
    return head("contact", ".cnd", "Contact ND data") +
           "\t,\"persistedData\":\n\t{\n\t\t\"units\":\"MPA\"\n\t\t,\"currentLOADSTEP\":\"1\"\n"
           "\t\t,\"currentTIME\":\"0.5\"\n\t\t,\"xAxis\":\n\t\t[\n\t\t\t \"LOAD_STEP\"\n"
           "\t\t\t,\"SUBSTEP\"\n\t\t\t,\"ITERATION\"\n\t\t\t,\"TIME\"\n\t\t]\n"
           "\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"PAIR\"\n\t\t\t,\"PRES\"\n\t\t]\n"
           "\t\t,\"ContactPairIds\":[\"3\"]\n\t\t,\"LOAD_STEP\":[1]\n\t\t,\"SUBSTEP\":[1]\n"
           "\t\t,\"ITERATION\":[3]\n\t\t,\"TIME\":[0.5]\n"
           "\t\t,\"PRES\":\n\t\t{\n\t\t\t\"3\":[1.5]\n\t\t}\n\t}\n}";
  }
  std::string nlh() {
    return head("hist", ".nlh", "NLH data") +
           "\t,\"persistedData\":\n\t{\n\t\t\"currentTime\":\"0.2\"\n"
           "\t\t,\"xAxis\":\n\t\t[\n\t\t\t\"Time\"\n\t\t]\n"
           "\t\t,\"yAxis\":\n\t\t[\n\t\t\t\"P3\"\n\t\t]\n"
           "\t\t,\"yAxisProperties\":\n\t\t{\n\t\t\t\"P3\":\n\t\t\t{\n"
           "\t\t\t\t \"CONTACT_PAIR\":\"3\"\n\t\t\t\t,\"ITEM\"        :\"P\"\n"
           "\t\t\t\t,\"COMP\"        :\"X\"\n\t\t\t}\n\t\t}\n"
           "\t\t,\"Time\":[0.1,0.2]\n\t\t,\"P3\":[1,2]\n\t}\n}";
  }
  void activate(const std::string& name, const std::string& content) {
    writeFile(dashFile(name), content);
    Outcome o = broadcast("monitor-file-activate:" + name);
    EXPECT_TRUE(o.ok) << name << "\n" << o;
  }
  // "monitor.json" as the four listings make it.
  std::string savedDocument() {
    std::string text = "{\n";
    const char* kinds[] = {"mntr", "gst", "cnd", "nlh"};
    for (const char* kind : kinds) {
      const std::string key = std::string("aaS.list_monitors_with_persisted_data ") + kind;
      if (text.size() > 2) text += ",\n";
      text += "\"" + key + "\":\n" + json(key);
    }
    return text + "}";
  }
};

TEST_F(GrendServiceTest, StartUpKeysAndCommandsOfAFreshService) {
  startGrend();
  const std::string key = readFile(workFile("aaS_GrendSolvarium.txt"));
  EXPECT_EQ(iorTypeId(key), "IDL:AAS_CORBA/GRENDInstant/Solvers/ICoGrendUnit:1.0");
  EXPECT_EQ(readFile(dashFile("aaS_GrendSolvarium.txt")), key);
  EXPECT_TRUE(sessionManager().waitForBytes(key.size(), seconds(5)));
  EXPECT_EQ(sessionManager().received(), key);
  const std::string unitIor = readFile(workFile("instant_aaS_GrendId.txt"));
  EXPECT_EQ(iorTypeId(unitIor), "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0");

  auto unit = grendClient().solverUnit();
  CORBA::String_var id = unit->getSolverId();
  EXPECT_STREQ(id.in(), "korlen-grend");
  CORBA::String_var first = grendUnit()->getCoSolverUnitIor();
  CORBA::String_var second = grendUnit()->getCoSolverUnitIor();
  EXPECT_STREQ(first.in(), second.in());
  EXPECT_EQ(iorTypeId(first.in()), iorTypeId(unitIor));
  auto scripting = grendClient().scripting();
  CORBA::String_var language = scripting->getScriptingLanguageId();
  EXPECT_STREQ(language.in(), "grend_instant_aas");
  EXPECT_EQ(grendClient().execute("aaS_internal.get_grend_exception_holder_ior"), key);

  EXPECT_EQ(grendClient().execute("aaS.get_status"), "aas-off\n");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data"), "[\n]");
  const std::string suggest = grendClient().execute("aaS.suggest");
  EXPECT_EQ(std::count(suggest.begin(), suggest.end(), '\n'), 14);
  EXPECT_EQ(suggest.find("aaS.get_command_line_input_file\n"), 0u);
  EXPECT_EQ(grendClient().execute("aaS.implements.list_monitors_with_persisted_data"), "True");
  EXPECT_EQ(grendClient().execute("aaS.implements.tic_one_minute"), "False");
  EXPECT_TRUE(isException(grendClient().tryExecute(""), "EUnknown",
                          {{"code", "1"}, {"description", "Empty instant aaS command"},
                           {"scope", ""}, {"interfaceName", ""}, {"operation", ""},
                           {"moreInfo", ""}}));
  EXPECT_TRUE(isException(grendClient().tryExecute("aaS.get_kor_rpc_port"), "EUnknown",
                          {{"description", "Information not available"},
                           {"operation", "aaS.get_kor_rpc_port"}}));
  EXPECT_TRUE(isException(grendCommand("aaS.unknown"), "GRENDInstant::EKorlenUnknown",
                          {{"code", "1"}, {"description", "Unknown instant aaS command"}}));

  // The collaborative solver unit, before and after the solver names one.
  Outcome none = capture([&] {
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var other = unit->getCollaborativeSolverUnit();
    return std::string(CORBA::is_nil(other.in()) ? "nil" : "reference");
  });
  EXPECT_TRUE(isException(none, "EUnknown",
                          {{"description", "Collaborative IOR not available"},
                           {"scope", "Grend Instant aaS"}}));
  CORBA::String_var nilIor = testOrb()->object_to_string(CORBA::Object::_nil());
  EXPECT_TRUE(broadcast(std::string("visited:collaborativecosolverunitior-set:") + nilIor.in()).ok);
  EXPECT_TRUE(isException(capture([&] {
                            KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var other =
                                unit->getCollaborativeSolverUnit();
                            return std::string();
                          }),
                          "EUnknown",
                          {{"description", "Collaborative IOR is corrupt"},
                           {"scope", "Grend Instant aaS"}}));
  // The client names a dead partner's failure, or a wrong key's on a live port, as the partner's.
  for (const auto& [port, line] : std::vector<std::pair<int, std::string>>{
           {freeLoopbackPort(), "no service answers at the partner's address\n"},
           {iorAddress(unitIor).port, "the partner's object does not exist\n"}}) {
    const std::string partner = "corbaloc::127.0.0.1:" + std::to_string(port) + "/NoUnit";
    EXPECT_TRUE(broadcast("visited:collaborativecosolverunitior-set:" + partner).ok);
    EXPECT_EQ(
        runClient({"instant_aaS_GrendId.txt", "solver-unit", "getCollaborativeSolverUnit"}).err,
        "solvarium-client: the key's service answers; the failure is its partner's: " + line);
  }
  EXPECT_TRUE(broadcast("visited:collaborativecosolverunitior-set:" + unitIor).ok);
  auto collaborative = unit->getCollaborativeSolverUnit();
  CORBA::String_var otherId = collaborative->getSolverId();
  EXPECT_STREQ(otherId.in(), "korlen-grend");

  // shutdown answers true and the event loop ends; a final save that fails
  // is reported with its cause and the service ends with code 4.
  ASSERT_EQ(::mkdir(workFile("monitor.json").c_str(), 0755), 0);
  EXPECT_TRUE(grendUnit()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(4));
  EXPECT_NE(service().stdoutText().find("Shutting down...\n"), std::string::npos);
  const std::string why = "Only a writable regular file in a writable folder is replaced";
  EXPECT_EQ(readFile(workFile("instant_aas.error")),
            "\n\nKORLEN_AAS_v1_0_0::Exceptions::EUnknown caught executing solver will\n\n"
            "code: <1>\ndescription: <Error writing file 'monitor.json'>\nscope: <>\n"
            "interfaceName: <>\noperation: <aaS.save_monitors_with_persisted_data monitor.json>\n"
            "moreInfo: <" + why + ">\n");
  EXPECT_NE(service().stderrText().find("Final save failed: Error writing file 'monitor.json': " +
                                        why + "\n"),
            std::string::npos)
      << service().stderrText();
}

// A monitor folder written with backslashes: the key copy goes where the
// monitor files are read from.
TEST_F(GrendServiceTest, KeyCopyFollowsTheBackslashFolderRule) {
  ASSERT_EQ(::mkdir(workFile("dash").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(workFile("dash/sub").c_str(), 0755), 0);
  ServiceProcess::Options options = grendOptions();
  options.env["GREND_DASH_DIR_FOLDER"] = "dash\\sub";
  startGrend(options);
  EXPECT_EQ(readFile(workFile("dash/sub/aaS_GrendSolvarium.txt")),
            readFile(workFile("aaS_GrendSolvarium.txt")));
  writeFile(workFile("dash/sub/job.mntr"), kMntr);
  EXPECT_TRUE(broadcast("monitor-file-activate:job.mntr").ok);
}

TEST_F(GrendServiceTest, WithoutTheSessionManagerVariableEndsWithCode1) {
  ServiceProcess::Options options = grendOptions();
  options.env.erase("KORLEN_SESSION_MANAGER_SOCKET");
  ServiceProcess& svc = start(options);
  ASSERT_EQ(svc.waitForExit(seconds(15)), std::optional<int>(1)) << svc.stdoutText();
  EXPECT_NE(svc.stdoutText().find("No registered GrendSolvarium exception clients!\n"),
            std::string::npos)
      << svc.stdoutText();
}

TEST_F(GrendServiceTest, BroadcastsMonitorListingsAndHostileFiles) {
  startGrend();
  EXPECT_TRUE(broadcast("overall-progress: 40 %\t").ok);
  EXPECT_TRUE(broadcast("started:solve").ok);
  EXPECT_EQ(grendClient().execute("aaS.get_overall_progress"), "40 %");
  EXPECT_EQ(grendClient().execute("aaS.get_status"), "aas-off\nsolve\n");

  // A message that contradicts the tables reaches the solver side as UNKNOWN.
  const std::string missing = dashFile("none.mntr");
  EXPECT_TRUE(isException(broadcast("monitor-file-activate:none.mntr"), "CORBA::UNKNOWN"));
  EXPECT_EQ(readFile(workFile("instant_aas_error.txt")),
            "\nInvalid activate file broadcast. File '" + missing + "' does not exist.\n");

  activate("job.mntr", kMntr);
  activate("track.gst", kGst);
  activate("contact.cnd", kCnd);
  activate("hist.nlh", kNlh);
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data mntr"), "[\n" + mntr(true) + "]");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data mntr x start_total_iter 3"),
            "[\n" + mntr(false) + "]");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data gst - start_time 1"),
            "[\n" + gst(false) + "]");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data cnd"), "[\n" + cnd() + "]");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data nlh x start_time 5"),
            "[\n" + nlh() + "]");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data"),
            "[\n" + gst(true) + "," + mntr(true) + "," + nlh() + "," + cnd() + "]");
  EXPECT_EQ(grendClient().execute("aaS.save_monitors_with_persisted_data"), "Done!");
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());

  // In use by the solver, then deleted.
  EXPECT_TRUE(broadcast("monitor-file-open:hist.nlh").ok);
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data nlh"),
            "[\n{\n\t\"Warning\": \"File '" + dashFile("hist.nlh") +
                "' is in use by the solver and cannot be accessed\"\n}\n]");
  EXPECT_TRUE(broadcast("monitor-file-closed:hist.nlh").ok);
  ASSERT_EQ(::unlink(dashFile("hist.nlh").c_str()), 0);
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data nlh"),
            "[\n{\n\t\"Error\": \"Opening file '" + dashFile("hist.nlh") +
                "', Error   2: No such file or directory\"\n}\n]");

  // Hostile files: refused documents add nothing (and no separator); a FIFO
  // or a directory named like a monitor answers the opening error.
  activate("a.gst", "<!DOCTYPE x [<!ENTITY e SYSTEM \"/etc/passwd\">]><SOLUTION>&e;</SOLUTION>");
  std::string deep;
  for (int i = 0; i < 3000; ++i) deep += "<a>";
  activate("b.gst", deep);
  activate("c.gst", "<SOLUTION><LOADSTEPDATA><HEADER><COLUMN ID=\"99999999\">x");
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data gst"), "[\n" + gst(true) + "]");
  ASSERT_EQ(::mkfifo(dashFile("pipe.mntr").c_str(), 0644), 0);
  EXPECT_TRUE(broadcast("monitor-file-activate:pipe.mntr").ok);
  ASSERT_EQ(::mkdir(dashFile("dir.cnd").c_str(), 0755), 0);
  EXPECT_TRUE(broadcast("monitor-file-activate:dir.cnd").ok);
  activate("short.mntr", "T\nA B\n1 2 3\n\"4\\ 5");
  // Loosely written numbers keep their sign; a file over the size limit (a
  // sparse 2 GiB + 1) answers its error object without being read.
  activate("loose.mntr", "Loose\n A  B\n -.5E+01 -01.5\n");
  activate("huge.mntr", "");
  ASSERT_EQ(::truncate(dashFile("huge.mntr").c_str(), (off_t(2) << 30) + 1), 0);
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data cnd"),
            "[\n" + cnd() + ",{\n\t\"Error\": \"Opening file '" + dashFile("dir.cnd") +
                "'\"\n}\n]");
  const std::string all = json("aaS.list_monitors_with_persisted_data mntr");
  const std::string loose = "\t,\"A\":\n\t[\n\t\t-0.5E+01\n\t]\n\t,\"currentA\":-0.5E+01\n"
                            "\t,\"B\":\n\t[\n\t\t-1.5\n\t]\n\t,\"currentB\":-1.5\n}";
  for (const std::string& found :
       {"\"Error\": \"Opening file '" + dashFile("pipe.mntr") + "'\"", loose,
        "\"Error\": \"Insufficient memory to process file '" + dashFile("huge.mntr") + "'\""}) {
    EXPECT_NE(all.find(found), std::string::npos) << found << "\n" << all;
  }
  EXPECT_EQ(grendClient().execute("aaS.save_monitors_with_persisted_data"), "Done!");
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());
  EXPECT_TRUE(isValidJson(readFile(workFile("monitor.json"))));
  EXPECT_NE(readFile(workFile("monitor.json")).find(loose), std::string::npos);
  EXPECT_LT(peakMemoryKiB(service().pid()), 1024 * 1024);

  const std::string trace = readFile(workFile("grend_broadcasts.txt"));
  EXPECT_EQ(trace.find("<<broadcast::overall-progress: 40 %\t>>\n<<broadcast::started:solve>>\n"),
            0u) << trace;
}

TEST_F(GrendServiceTest, MonitorLinksAndSaveTargetsAreRefused) {
  ServiceProcess::Options options = grendOptions();
  if (::geteuid() == 0) {
    // Root writes any file: the service runs without that capability.
    options.program = "/usr/bin/setpriv";
    options.argv.insert(options.argv.begin(),
                        {"setpriv", "--bounding-set=-dac_override,-dac_read_search"});
  }
  startGrend(options);

  // A sibling of the monitor folder whose name begins with the folder's name
  // is outside it: named there, or reached through a monitor file swapped
  // for a link.
  const std::string secret = dash() + "2/secret.gst";
  ASSERT_EQ(::mkdir((dash() + "2").c_str(), 0755), 0);
  writeFile(secret, kGst);
  EXPECT_TRUE(
      isException(broadcast("monitor-file-activate:../dash2/secret.gst"), "CORBA::UNKNOWN"));
  activate("t.gst", kGst);
  ASSERT_EQ(::unlink(dashFile("t.gst").c_str()), 0);
  ASSERT_EQ(::symlink(secret.c_str(), dashFile("t.gst").c_str()), 0);
  EXPECT_EQ(json("aaS.list_monitors_with_persisted_data gst"),
            "[\n{\n\t\"Error\": \"Opening file '" + dashFile("t.gst") + "'\"\n}\n]");
  EXPECT_EQ(grendClient().execute("aaS.save_monitors_with_persisted_data"), "Done!");
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());
  EXPECT_EQ(readFile(workFile("monitor.json")).find("Force"), std::string::npos);

  // A FIFO, a read-only file and a missing folder are not saved to.
  ASSERT_EQ(::mkfifo(workFile("pipe.json").c_str(), 0644), 0);
  writeFile(workFile("kept.json"), "kept");
  ASSERT_EQ(::chmod(workFile("kept.json").c_str(), 0444), 0);
  const std::string save = "aaS.save_monitors_with_persisted_data ";
  for (const char* name : {"pipe.json", "kept.json"}) {
    EXPECT_TRUE(isException(
        grendClient().tryExecute(save + name), "EUnknown",
        {{"description", std::string("Error writing file '") + name + "'"},
         {"moreInfo", "Only a writable regular file in a writable folder is replaced"}}))
        << name;
  }
  struct stat info;
  ASSERT_EQ(::lstat(workFile("pipe.json").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
  EXPECT_EQ(readFile(workFile("kept.json")), "kept");
  EXPECT_TRUE(isException(grendClient().tryExecute(save + "no/such/m.json"), "EUnknown",
                          {{"description", "Error writing file 'no/such/m.json'"},
                           {"moreInfo", "No such file or directory"}}));
}

TEST_F(GrendServiceTest, TickSolverShutdownAndTheWatcherSave) {
  startGrend();
  activate("job.mntr", kMntr);
  EXPECT_EQ(grendClient().execute("aaS.set_auto_save_period_json_monitors 1"),
            "Auto-Save set at 1 minutes");
  EXPECT_EQ(grendClient().execute("aaS_internal.tic_one_minute"), "");
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());
  ASSERT_EQ(::unlink(workFile("monitor.json").c_str()), 0);
  // A save that fails is named in the error file; the flag is still set.
  ASSERT_EQ(::mkdir(workFile("monitor.json").c_str(), 0755), 0);
  EXPECT_TRUE(broadcast("started:solver-shutdown").ok);
  EXPECT_EQ(grendClient().execute("aaS.get_status"), "aas-off\nsolver-shutdown\n");
  EXPECT_NE(readFile(workFile("instant_aas_error.txt")).find("Error writing file 'monitor.json'"),
            std::string::npos);
  ASSERT_EQ(::rmdir(workFile("monitor.json").c_str()), 0);
  EXPECT_TRUE(broadcast("started:solver-shutdown").ok);
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());
  EXPECT_EQ(grendClient().execute("aaS.get_status"), "aas-off\nsolver-shutdown\n");

  // The solver announces its process id; when it goes, the watcher shuts
  // the service down and the final save writes "monitor.json" again.
  EXPECT_TRUE(broadcast("visited:grend-pid:" + solver().pidText()).ok);
  ASSERT_EQ(::unlink(workFile("monitor.json").c_str()), 0);
  std::this_thread::sleep_for(seconds(11));  // the watcher takes the id
  const auto gone = std::chrono::steady_clock::now();
  solver().kill();
  EXPECT_EQ(service().waitForExit(seconds(30)), std::optional<int>(0));
  EXPECT_LT(std::chrono::steady_clock::now() - gone, seconds(20));
  EXPECT_TRUE(fileExists(workFile("monitor.json")));
  EXPECT_NE(service().stdoutText().find("Shutting down...\n"), std::string::npos);
}

TEST_F(GrendServiceTest, SigtermEndsWithTheFinalSave) {
  startGrend();
  activate("job.mntr", kMntr);
  const std::string expected = savedDocument();
  ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
  EXPECT_EQ(readFile(workFile("monitor.json")), expected);
  EXPECT_NE(service().stdoutText().find("Shutting down...\n"), std::string::npos);
}

TEST_F(GrendServiceTest, AFullDiskTearsNoTraceRecordAndAFailedFinalSaveEndsWith4) {
  startGrend();
  activate("job.mntr", kMntr);
  writeFile(workFile("monitor.json"), "old");
  const rlimit full{400, RLIM_INFINITY};  // below the new "monitor.json"
  ASSERT_EQ(::prlimit(service().pid(), RLIMIT_FSIZE, &full, nullptr), 0);
  EXPECT_TRUE(broadcast(std::string(400, 'x')).ok);
  EXPECT_EQ(readFile(workFile("grend_broadcasts.txt")).find("xx"), std::string::npos);
  EXPECT_TRUE(service().waitForStderr(
      "Cannot append to 'grend_broadcasts.txt': File too large: the file is left as it was\n"));
  ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(4));
  EXPECT_EQ(readFile(workFile("monitor.json")), "old");
}

// The watcher connects within seconds of the start and ticks a minute
// after it began; with a period of one minute that tick saves.
TEST_F(GrendServiceTest, TheWatcherTicksOnceAMinute) {
  const auto started = std::chrono::steady_clock::now();
  startGrend();
  activate("job.mntr", kMntr);
  EXPECT_EQ(grendClient().execute("aaS.set_auto_save_period_json_monitors 1"),
            "Auto-Save set at 1 minutes");
  std::this_thread::sleep_until(started + seconds(45));
  EXPECT_FALSE(fileExists(workFile("monitor.json")));
  EXPECT_TRUE(waitUntil([&] { return fileExists(workFile("monitor.json")); },
                        std::chrono::duration_cast<milliseconds>(started + seconds(75) -
                                                                 std::chrono::steady_clock::now()),
                        milliseconds(200)));
  EXPECT_EQ(readFile(workFile("monitor.json")), savedDocument());
}

}  // namespace
}  // namespace solvarium_test
