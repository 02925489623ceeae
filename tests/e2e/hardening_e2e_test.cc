// Hostile and slow clients, hostile command arguments to every command of
// every kind, confinement of client-named and trace files, text that is not
// UTF-8, and data that must not be lost, end to end over IIOP.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <sstream>
#include <thread>

#include "platform/sanitized_build.h"
#include "tests/support/brox_e2e_fixture.h"
#include "tests/support/grend_e2e_fixture.h"
#include "tests/support/joined_threads.h"
#include "tests/support/raw_giop.h"
#include "tests/support/talvo_e2e_fixture.h"
#include "tests/support/udf_e2e_fixture.h"

namespace solvarium_test {
namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point begin) {
  return std::chrono::duration<double>(Clock::now() - begin).count();
}

// Sanitized builds run the hostile arguments at an eighth of their size.
constexpr std::size_t kScale = solvarium::platform::kSanitizedBuild ? 8 : 1;

std::string words(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += "w ";
  return text;
}

// The kind's listed commands ("aaS.suggest") after `first`.
std::vector<std::string> commandsOf(ServiceClient& client, std::vector<std::string> first) {
  std::istringstream listed(client.execute("aaS.suggest"));
  for (std::string name; std::getline(listed, name);) first.push_back(name);
  return first;
}

// Hostile arguments after every command: each call gets an answer or a user
// exception, never a system exception or a dropped connection. Each command
// gets 20,000 words, a 1 MiB word, text that is not UTF-8, an option, a path
// outside, quotes and an empty quoted word, each alone, and a NUL in a raw
// request (an ORB client cannot send one). 2 M words and 16 MiB go once, in
// one request to the first command: one such request per command is too slow
// under ThreadSanitizer, and past the kind's splitter a command sees 20,000
// words as it would see 2 M. Under sanitizers every size but the 16 MiB is
// cut to an eighth: the same code paths at a time the sanitizer stages allow.
void sendHostileArguments(ServiceClient& client, const std::vector<std::string>& commands) {
  ASSERT_GT(commands.size(), 3u);
  auto answered = [](const Outcome& o) { return o.ok || o.exception.rfind("CORBA::", 0) != 0; };
  std::string big = commands[0] + " " + words(2000000 / kScale);
  while (big.size() < (16u << 20)) big += " \"quoted\" /path/" + std::string(65536, 'y');
  EXPECT_TRUE(answered(client.tryExecute(big))) << commands[0] << " + 16 MiB";
  big = std::string();

  const std::pair<const char*, std::string> arguments[] = {
      {"20,000 words", words(20000 / kScale)}, {"1 MiB word", std::string((1u << 20) / kScale, 'x')},
      {"not UTF-8", "\xff\xfe\xe9\xc3("}, {"option", "--help"},
      {"path", "../hostile.json"},        {"quotes", "\"a 'b\\\" c"},
      {"empty", "\"\""}};
  CORBA::String_var ior = testOrb()->object_to_string(client.scripting().in());
  const IiopAddress scripting = iorAddress(ior.in());
  const int raw = connectTo(scripting.host, scripting.port);
  ASSERT_GE(raw, 0);
  for (std::size_t c = 0; c < commands.size(); ++c) {
    for (const auto& argument : arguments) {
      const Outcome o = client.tryExecute(commands[c] + " " + argument.second);
      EXPECT_TRUE(answered(o)) << commands[c] << " + " << argument.first << ": " << o;
    }
    CdrWriter nul;
    nul.string(commands[c] + " a\0b");
    ASSERT_TRUE(sendThrottled(raw,
                              giopRequest(static_cast<uint32_t>(c), scripting.objectKey,
                                          "executeToString", nul.bytes(), false),
                              0));
    const int status = readReplyStatus(raw, 30000);  // 0: an answer, 1: a user exception
    EXPECT_TRUE(status == 0 || status == 1) << commands[c] << " + NUL: " << status;
  }
  ::close(raw);
  EXPECT_NE(client.execute("aaS.suggest"), "");
}

class HardeningTest : public ServiceTest {
 protected:
  template <typename Reference>
  IiopAddress targetOf(const Reference& reference) {
    CORBA::String_var ior = testOrb()->object_to_string(reference.in());
    return iorAddress(ior.in());
  }
};

TEST_F(HardeningTest, StalledAndSlowClientsHoldUpNoOtherClient) {
  startBrox();
  const IiopAddress scripting = targetOf(client().scripting());
  const IiopAddress files = targetOf(client().fileSystem());
  ASSERT_GT(scripting.port, 0);
  ASSERT_FALSE(scripting.objectKey.empty());

  // A request whose first fragment announces a 1,000-byte command, holds 8
  // bytes of it and says more fragments follow; then nothing.
  CdrWriter partial;
  partial.ulong(1000);
  partial.bytes() += "aaS.get_";
  const int stalled = connectTo(scripting.host, scripting.port);
  ASSERT_GE(stalled, 0);
  ASSERT_TRUE(sendThrottled(
      stalled, giopRequest(1, scripting.objectKey, "executeToString", partial.bytes(), true), 0));
  std::this_thread::sleep_for(milliseconds(300));

  Clock::time_point begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
  EXPECT_EQ(client().broxCommand("aaS.get implicit_will_amends"), "on");
  EXPECT_LT(secondsSince(begin), 5.0);

  // An upload sent at 500 kB/s for 3 s, in one message, arrives whole, and
  // other clients are answered while it is still arriving.
  std::string content(1500000, '\0');
  for (std::size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>(i * 7 % 251);
  CdrWriter upload;
  upload.string("slow.bin");
  upload.octets(content);
  const std::string message = giopRequest(2, files.objectKey, "uploadFile", upload.bytes(), false);
  const int slow = connectTo(files.host, files.port);
  ASSERT_GE(slow, 0);
  std::future<int> uploaded = std::async(std::launch::async, [&] {
    if (!sendThrottled(slow, message, 500000)) return -2;
    return readReplyStatus(slow, 30000);
  });
  std::this_thread::sleep_for(milliseconds(1000));
  begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.get implicit_will_amends"), "on");
  EXPECT_LT(secondsSince(begin), 1.0);
  EXPECT_EQ(uploaded.wait_for(seconds(0)), std::future_status::timeout);  // still sending
  EXPECT_EQ(uploaded.get(), 0);                                          // NO_EXCEPTION
  EXPECT_TRUE(readFile(workFile("slow.bin")) == content);

  // The stalled client still holds nothing.
  begin = Clock::now();
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
  EXPECT_LT(secondsSince(begin), 1.0);
  ::close(stalled);
  ::close(slow);
}

TEST_F(HardeningTest, LockFileLinkLeavesItsTargetIntact) {
  const std::string outside = workDir().substr(0, workDir().rfind('/')) + "/precious.txt";
  writeFile(outside, "keep me");
  for (const char* run : {"linked.dir", "plain.dir"}) {
    ASSERT_EQ(::mkdir(workFile(run).c_str(), 0755), 0);
    writeFile(workFile(std::string(run) + "/gui-err.txt"), "run False " + std::string(run) + "\n");
  }
  ServiceProcess& svc = startBrox();
  // The lock file's name is predictable from the service's process id.
  const std::string lock = workFile("linked.dir/sm.native_brox_aas." + std::to_string(svc.pid()) + ".lock");
  ASSERT_EQ(::symlink(outside.c_str(), lock.c_str()), 0);

  // The run that cannot be locked is not read; the other one is.
  EXPECT_EQ(client().execute("aaS.list_all_brox_storages"), "plain.dir\n");
  EXPECT_EQ(readFile(outside), "keep me");
  struct stat st;
  ASSERT_EQ(::lstat(lock.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(listDirectory(workFile("plain.dir")), std::vector<std::string>{"gui-err.txt"});
}

const char kPlots[] =
    "<Plots><Plot Name=\"Temps\" DisplayName=\"T\" Visibility=\"true\">"
    "<XAxis DisplayName=\"Time\" LogarithmicScale=\"false\"/>"
    "<YAxis DisplayName=\"K\" LogarithmicScale=\"false\"/>"
    "<PlotLine><XVar Name=\"Time\" DisplayName=\"t\"/><YVar Name=\"Temp\" DisplayName=\"T\"/>"
    "</PlotLine></Plot></Plots>\n";

class BroxHardeningTest : public BroxE2eTest {
 protected:
  void SetUp() override {
    makeDir("run_001.dir");
    makeDir("mc");
    makeDir("mc/cfg_0.dir");
    makeDir("mc/cfg_1.dir");
    setRuns({"./run_001.dir\trun_001\t0\t0\t\t", "./mc\tStudy\t1\t0\t\tcfg_1,cfg_0"});
    fakes().setDefaultOutput("plotinfo", kPlots);
    fakes().setDefaultOutput("data", "\"Time\",\"Temp\"\n1,300\n2,310\n");
    outside_ = workDir().substr(0, workDir().rfind('/')) + "/outside";
    ASSERT_EQ(::mkdir(outside_.c_str(), 0755), 0);
  }
  std::string will() { return client().execute("aaS.retrieve_will"); }
  std::string outside_;
};

TEST_F(BroxHardeningTest, TheWillSurvivesSavesTicksAndMetadata) {
  startService();
  // A will naming one configuration of a multi-configuration run: the save
  // replays it for every configuration, under other session names.
  client().execute("aaS.amend_report_plots_will session-name mc/cfg_1 plot-list \"Temps\"");
  const std::string set = will();
  EXPECT_NE(set.find("\"mc/cfg_1\""), std::string::npos) << set;
  const std::string metadata = json("aaS.retrieve_will_metadata");
  EXPECT_EQ(will(), set);

  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data first.json"),
            "JSON monitors saved in 'first.json'.\n");
  EXPECT_EQ(will(), set);
  const std::string first = readFile(workFile("first.json"));
  EXPECT_NE(first.find("\"monitorDir\":\t\"mc/cfg_0.dir\""), std::string::npos) << first;
  EXPECT_NE(first.find("\"monitorDir\":\t\"mc/cfg_1.dir\""), std::string::npos) << first;

  // Two minute ticks at the default period of one minute: two saves.
  for (int tick = 0; tick < 2; ++tick) {
    ::unlink(workFile("monitor.json").c_str());
    EXPECT_EQ(client().execute("aaS_internal.tic_one_minute"), "");
    EXPECT_EQ(readFile(workFile("monitor.json")), first) << "tick " << tick;
    EXPECT_EQ(will(), set) << "tick " << tick;
  }
  // Every answer is what it was before.
  EXPECT_EQ(json("aaS.retrieve_will_metadata"), metadata);
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data \"second.json\""),
            "JSON monitors saved in 'second.json'.\n");
  EXPECT_EQ(readFile(workFile("second.json")), first);
  EXPECT_EQ(will(), set);
}

TEST_F(BroxHardeningTest, SaveStaysInsideAndBroxUnitCarriesScriptErrors) {
  startService();
  ASSERT_EQ(::symlink(outside_.c_str(), workFile("lnk").c_str()), 0);
  writeFile(outside_ + "/target.json", "outside");
  ASSERT_EQ(::symlink((outside_ + "/target.json").c_str(), workFile("out-link.json").c_str()), 0);
  ASSERT_EQ(::mkfifo(workFile("pipe.json").c_str(), 0644), 0);
  writeFile(workFile("inside.json"), "old");
  ASSERT_EQ(::symlink("inside.json", workFile("in-link.json").c_str()), 0);

  const std::string save = "aaS.save_report_plots_with_persisted_data ";
  for (const std::string& name :
       {std::string("lnk/saved.json"), std::string("\"lnk/saved.json\""),
        std::string("out-link.json"), std::string("pipe.json"), std::string("../x.json"),
        outside_ + "/new.json", std::string("dangling/x.json"),
        std::string("aaS_BROXSolvarium.txt"), std::string("instant_aaS_BROXSolvarium.txt")}) {
    EXPECT_TRUE(isException(client().tryExecute(save + name), "EScriptGenericError",
                            {{"errorInfo", "Cannot open output file name."}}))
        << name;
  }
  EXPECT_EQ(iorTypeId(readFile(workFile("instant_aaS_BROXSolvarium.txt"))),
            "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0");
  EXPECT_EQ(listDirectory(outside_), std::vector<std::string>{"target.json"});
  EXPECT_EQ(readFile(outside_ + "/target.json"), "outside");
  struct stat st;
  ASSERT_EQ(::lstat(workFile("pipe.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  ASSERT_EQ(::lstat(workFile("out-link.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));

  // A link that stays inside: the file it leads to is written, the link stays.
  EXPECT_EQ(client().execute(save + "in-link.json"), "JSON monitors saved in 'in-link.json'.\n");
  ASSERT_EQ(::lstat(workFile("in-link.json").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_TRUE(isValidJson(readFile(workFile("inside.json"))));
  // Absolute names inside the working directory are fine.
  EXPECT_EQ(client().execute(save + workFile("abs.json")),
            "JSON monitors saved in '" + workFile("abs.json") + "'.\n");
  EXPECT_EQ(readFile(workFile("abs.json")), readFile(workFile("inside.json")));

  // Through an ICoBROXUnit reference, script errors and questions arrive as
  // EKorlenUnknown with their text; through scripting they stay themselves.
  EXPECT_TRUE(isException(client().tryBroxCommand(save + "lnk/saved.json"),
                          "BROXInstant::EKorlenUnknown",
                          {{"code", "1"},
                           {"description", "Cannot open output file name."},
                           {"scope", "BROX Instant aaS"},
                           {"interfaceName", "ICoBROXUnit"},
                           {"operation", "executeCommandToString"},
                           {"moreInfo", "Command:\n" + save + "lnk/saved.json"}}));
  EXPECT_TRUE(isException(client().tryBroxCommand("aaS.save_report_plots_with_persisted_data"),
                          "BROXInstant::EKorlenUnknown",
                          {{"code", "2"},
                           {"description", "JSON persisted monitors filename"},
                           {"moreInfo",
                            "Command:\naaS.save_report_plots_with_persisted_data\nmonitor.json"}}));
  EXPECT_TRUE(isException(client().tryBroxCommand("aaS.getenv NO_SUCH_VARIABLE_X"),
                          "BROXInstant::EKorlenUnknown",
                          {{"description", "Environment variable does not exist!"},
                           {"moreInfo", "NO_SUCH_VARIABLE_X"}}));
  EXPECT_EQ(client().broxCommand("aaS.get implicit_will_amends"), "on");
  EXPECT_TRUE(isException(client().tryExecute(save + "lnk/saved.json"), "EScriptGenericError",
                          {{"errorInfo", "Cannot open output file name."}}));
  EXPECT_EQ(listDirectory(outside_), std::vector<std::string>{"target.json"});
}

TEST_F(BroxHardeningTest, UnreadableSubFolderIsSkipped) {
  makeDir("study");
  makeDir("study/a.dir");
  makeDir("locked");
  makeDir("locked/b.dir");
  writeFile(workFile("study/s.res"), "x");
  writeFile(workFile("locked/l.res"), "x");
  ASSERT_EQ(::chmod(workFile("locked").c_str(), 0), 0);
  fakes().setDefaultOutput("showvars", "Time\nTemp\n");
  fakes().setDefaultOutput("varinfo", "<Variables><Variable Name=\"Temp\" Unit=\"K\"/></Variables>");
  ServiceProcess::Options options = broxOptions();
  options.env["TMP"] = serviceTmp();
  options.env["TMPDIR"] = serviceTmp();
  if (::geteuid() == 0) {
    // Root reads any folder: the service runs without that capability.
    options.program = "/usr/bin/setpriv";
    options.argv.insert(options.argv.begin(),
                        {"setpriv", "--bounding-set=-dac_override,-dac_read_search"});
  }
  ASSERT_TRUE(start(options).waitForKeyFiles(
      {"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
      << service().stdoutText();

  EXPECT_EQ(sortedLines(client().execute("aaS.list_brox_directories")),
            (std::vector<std::string>{"mc/cfg_0.dir", "mc/cfg_1.dir", "run_001.dir", "study/a.dir"}));
  EXPECT_EQ(client().execute("aaS.list_brox_res_files"), "study/s.res\n");
  EXPECT_EQ(client().execute("aaS.list_brox_directories mdef-session study"), "study/a");
  const std::string monitors = json("aaS.list_monitors");
  EXPECT_NE(monitors.find("\"run_001.dir\""), std::string::npos) << monitors;
  EXPECT_EQ(monitors.find("locked"), std::string::npos) << monitors;
  EXPECT_NE(json("aaS.list_all_variable_names").find("\"Temp\""), std::string::npos);
  EXPECT_NE(json("aaS.list_saved_variable_names").find("study/s"), std::string::npos);

  // The working directory itself unreadable: the access error.
  ASSERT_EQ(::chmod(workDir().c_str(), 0), 0);
  const Outcome denied = client().tryExecute("aaS.list_brox_directories");
  ASSERT_EQ(::chmod(workDir().c_str(), 0755), 0);
  EXPECT_TRUE(isException(denied, "EScriptGenericError",
                          {{"command", "list_folders"},
                           {"errorInfo", "Error accesing BROX main directory"}}))
      << denied;
  ::chmod(workFile("locked").c_str(), 0755);
}

TEST_F(BroxHardeningTest, TextThatIsNotUtf8ReachesJsonAsLatin1) {
  // A lone byte 0xE9 is not UTF-8: it becomes the Latin-1 character U+00E9
  // (C3 A9 in UTF-8). Valid UTF-8 (C3 AA) stays as it is.
  fakes().setDefaultOutput("data", "\"Caf\xe9\",\"T\xc3\xaate\"\n1,caf\xe9\n");
  startService();
  const std::string listed = json("aaS.list_monitors_with_persisted_data session-name run_001");
  for (const char* text : {"\"xAxis\":\t\"Caf\xc3\xa9\"", "\"T\xc3\xaate\"", "\"caf\xc3\xa9\""}) {
    EXPECT_NE(listed.find(text), std::string::npos) << text << "\n" << listed;
  }
  client().execute("aaS.amend_report_plots_will session-name run_001 plot-list \"Temps\"");
  EXPECT_EQ(client().execute("aaS.save_report_plots_with_persisted_data monitor.json"),
            "JSON monitors saved in 'monitor.json'.\n");
  const std::string saved = readFile(workFile("monitor.json"));
  std::string error;
  EXPECT_TRUE(isValidJson(saved, &error)) << error;
  EXPECT_NE(saved.find("\"Caf\xc3\xa9\""), std::string::npos) << saved;
}

class GrendHardeningTest : public GrendE2eTest {};

TEST_F(GrendHardeningTest, TraceFilesAreThisUsersPrivateRegularFiles) {
  const std::string outside = workDir().substr(0, workDir().rfind('/')) + "/precious.txt";
  writeFile(outside, "keep me");
  ASSERT_EQ(::mkfifo(workFile("grend_broadcasts.txt").c_str(), 0644), 0);
  ASSERT_EQ(::symlink(outside.c_str(), workFile("instant_aas_error.txt").c_str()), 0);
  startGrend();

  // Each message is traced, and a refused one written to the error file.
  EXPECT_TRUE(broadcast("overall-progress: 40 %").ok);
  EXPECT_TRUE(isException(broadcast("monitor-file-activate:none.mntr"), "CORBA::UNKNOWN"));
  EXPECT_EQ(grendClient().execute("aaS.get_overall_progress"), "40 %");
  EXPECT_EQ(readFile(outside), "keep me");
  struct stat st;
  ASSERT_EQ(::lstat(workFile("instant_aas_error.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::lstat(workFile("grend_broadcasts.txt").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
  service().waitForStderr("Not writing 'instant_aas_error.txt'");
  std::string err = service().stderrText();
  for (const char* name : {"grend_broadcasts.txt", "instant_aas_error.txt"}) {
    EXPECT_NE(err.find("Not writing '" + std::string(name) + "': not a regular file\n"),
              std::string::npos) << err;
  }

  // A file another user made, or one others may write, is left alone; a new
  // one is this user's alone.
  ASSERT_EQ(::unlink(workFile("grend_broadcasts.txt").c_str()), 0);
  ASSERT_EQ(::unlink(workFile("instant_aas_error.txt").c_str()), 0);
  writeFile(workFile("grend_broadcasts.txt"), "planted\n", 0666);
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(workFile("grend_broadcasts.txt").c_str(), 65534, 65534), 0);
  }
  EXPECT_TRUE(isException(broadcast("monitor-file-activate:none.mntr"), "CORBA::UNKNOWN"));
  EXPECT_EQ(readFile(workFile("grend_broadcasts.txt")), "planted\n");
  service().waitForStderr("another user owns it");
  err = service().stderrText();
  EXPECT_NE(
      err.find("Not writing 'grend_broadcasts.txt': another user owns it or may write it\n"),
      std::string::npos)
      << err;
  ASSERT_EQ(::stat(workFile("instant_aas_error.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);

  // A hard link to this user's own private file (a ~/.bashrc, say).
  ASSERT_EQ(::unlink(workFile("grend_broadcasts.txt").c_str()), 0);
  ASSERT_EQ(::chmod(outside.c_str(), 0600), 0);
  ASSERT_EQ(::link(outside.c_str(), workFile("grend_broadcasts.txt").c_str()), 0);
  EXPECT_TRUE(broadcast("overall-progress: 50 %").ok);
  EXPECT_EQ(readFile(outside), "keep me");
  EXPECT_TRUE(service().waitForStderr("'grend_broadcasts.txt': the file has another link\n"));
}

TEST_F(GrendHardeningTest, StaleTemporaryFilesGoAtStartUp) {
  const pid_t dead = ::fork();
  if (dead == 0) ::_exit(0);
  ASSERT_GT(dead, 0);
  ASSERT_EQ(::waitpid(dead, nullptr, 0), dead);
  const std::string outside = workDir().substr(0, workDir().rfind('/')) + "/precious.txt";
  writeFile(outside, "keep me");
  const std::string stale = ".solvarium-tmp-" + std::to_string(dead) + "-a1B2c3";
  const std::string link = ".solvarium-tmp-" + std::to_string(dead) + "-link00";
  const std::vector<std::string> kept = {
      ".solvarium-tmp-" + std::to_string(::getpid()) + "-a1B2c3", ".solvarium-tmp-a1B2c3",
      ".solvarium-tmp-" + std::to_string(dead) + "-notes.txt", link};
  for (const std::string& dir : {workDir(), dash()}) {
    writeFile(dir + "/" + stale, "partial");
    writeFile(dir + "/" + kept[0], "in flight");
    writeFile(dir + "/" + kept[1], "another name");
    writeFile(dir + "/" + kept[2], "a user's notes");
    ASSERT_EQ(::symlink(outside.c_str(), (dir + "/" + link).c_str()), 0);
  }
  // One named with the service's own id, left by an earlier process that had
  // it: written by the shell that then becomes the service.
  ServiceProcess::Options options = grendOptions();
  options.program = "/bin/sh";
  options.argv.insert(options.argv.begin(),
                      {"/bin/sh", "-c",
                       "for d in . \"$GREND_DASH_DIR_FOLDER\"; do\n"
                       "  echo partial > \"$d/.solvarium-tmp-$$-d4E5f6\" || exit 99\n"
                       "done\n"
                       "exec \"$0\" \"$@\""});
  startGrend(options);
  const std::string own = ".solvarium-tmp-" + std::to_string(service().pid()) + "-d4E5f6";

  for (const std::string& dir : {workDir(), dash()}) {
    EXPECT_FALSE(fileExists(dir + "/" + stale)) << dir;
    EXPECT_FALSE(fileExists(dir + "/" + own)) << dir;
    for (const std::string& name : kept) EXPECT_TRUE(fileExists(dir + "/" + name)) << dir << name;
  }
  EXPECT_EQ(readFile(outside), "keep me");
}

const char kTick[] = "aaS_internal.tic_one_minute";

TEST_F(BroxHardeningTest, HostileArgumentsToEveryCommand) {
  startService();
  sendHostileArguments(client(), commandsOf(client(), {"aaS.list_report_plots_with_persisted_data",
                                                       kTick, "aaS.implements.suggest"}));
  EXPECT_FALSE(fileExists(workDir() + "/../hostile.json"));
}

TEST_F(GrendHardeningTest, HostileArgumentsToEveryCommand) {
  startGrend();
  sendHostileArguments(grendClient(),
                       commandsOf(grendClient(), {"aaS.list_monitors_with_persisted_data", kTick,
                                                  "aaS.implements.suggest"}));
}

class TalvoHardeningTest : public TalvoE2eTest {};

TEST_F(TalvoHardeningTest, HostileArgumentsToEveryCommandWhileTheSolverReports) {
  startTalvo();
  writeFile(workFile("rf0.out"), "\"rf0\"\n(\"Iteration\" \"r\")\n1 0.5\n2 0.25\n");
  send({"broadcast::visited:monitor-set-changed:(((name . rf0) (file-name . rf0.out)))",
        "broadcast::visited:rp-var-value-set:residuals/settings:((a #t #f #t 1e-3 #f 1e-2))"});
  EXPECT_EQ(answer("aaS.set_auto_save_period_json_monitors 1"),
            "Auto-Save period set to 1 minutes.");
  // All along, the solver side reports residuals and the watcher's minute
  // tick saves them, each from a connection of its own.
  std::atomic<bool> stop{false};
  JoinedThreads solverSide([&] { stop = true; });
  solverSide.start([&] {
    auto h = AAS_CORBA::Talvo::ITalvoExceptionHolder::_duplicate(holder());
    for (int i = 1; !stop && i <= 500; ++i) {
      const std::string n = std::to_string(i);
      h->addGenericErrorExceptionMessage(
          ("broadcast::visited:monitors:incremental:<Residual iteration " + n +
           " /Residual>\n<Residual a 0." + n + " /Residual>")
              .c_str());
      h->addGenericErrorExceptionMessage(("broadcast::visited:iteration-set:" + n).c_str());
      std::this_thread::sleep_for(milliseconds(10));
    }
  });
  solverSide.start([&] {
    auto h = AAS_CORBA::Talvo::ITalvoExceptionHolder::_duplicate(holder());
    for (int i = 0; !stop && i < 100; ++i) {
      CORBA::String_var done = h->doInstantCommandToString(kTick);
      std::this_thread::sleep_for(milliseconds(50));
    }
  });
  sendHostileArguments(talvo(), commandsOf(talvo(), {"aaS.list_monitors_with_persisted_data", kTick,
                                                     "aaS.implements.suggest"}));
  solverSide.join();
  const std::string saved = readFile(workFile("monitor.json"));
  EXPECT_TRUE(isValidJson(saved)) << saved;
  EXPECT_NE(saved.find("\"persistedData\""), std::string::npos) << saved;
  EXPECT_FALSE(fileExists(workDir() + "/../hostile.json"));
}

class UdfHardeningTest : public UdfE2eTest {};

TEST_F(UdfHardeningTest, HostileArgumentsToEveryCommand) {
  writeDescription(solverInfo(),
                   " <aasCommand command=\"aaS.echo\">echo</aasCommand>\n"
                   " <aasCommand command=\"aaS.show\" output=\"stdout\">show</aasCommand>\n"
                   " <aasCommand command=\"aaS.none\" input=\"none\" output=\"none\">none"
                   "</aasCommand>\n");
  writeMain("def echo(args):\n    return '|'.join(args)\n"
            "def show(args):\n    print(len(args), *args)\n"
            "def none():\n    pass\n");
  startUdf(udfOptions());
  sendHostileArguments(udf(), {"aaS.echo", "aaS.show", "aaS.none", kTick, "aaS.getenv",
                               "aaS.implements.echo", "aaS.unknown"});
}

}  // namespace
}  // namespace solvarium_test
