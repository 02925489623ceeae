// Brox folder and file listings over IIOP, a run directory with a blank in
// its name, and file names that try to reach a shell.
#include <unistd.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/support/brox_e2e_fixture.h"

namespace solvarium_test {
namespace {

using Lines = std::vector<std::string>;

class BroxStorageE2eTest : public BroxE2eTest {
 protected:
  Outcome upload(const std::string& name, const std::string& bytes) {
    return capture([&] {
      KORLEN_AAS_v1_0_0::Types::CoOctetBuffer buffer;
      buffer.length(static_cast<CORBA::ULong>(bytes.size()));
      std::memcpy(buffer.get_buffer(), bytes.data(), bytes.size());
      client().fileSystem()->uploadFile(name.c_str(), buffer);
      return std::string();
    });
  }
};

TEST_F(BroxStorageE2eTest, ListingsWithAndWithoutSessionFilter) {
  startService();
  // An empty working directory (key files only) lists nothing anywhere.
  for (const char* command : {"aaS.list_brox_directories", "aaS.list_brox_res_files", "aaS.list_brox_def_files",
        "aaS.list_brox_out_files", "aaS.list_brox_directories mdef-session study",
        "aaS.list_brox_res_files mdef-session study"}) {
    EXPECT_EQ(client().execute(command), "") << command;
  }
  for (const char* command : {"aaS.list_monitors", "aaS.list_saved_monitors", "aaS.list_monitors_last_values",
        "aaS.list_saved_monitors_with_persisted_data", "aaS.list_report_plots",
        "aaS.list_saved_report_plots", "aaS.list_all_variable_names"}) {
    EXPECT_EQ(json(command), "[\n]\n") << command;
  }
  EXPECT_TRUE(fakes().calls("broxmondata").empty());

  makeDir("run_001.dir");
  makeDir("run_001.dir/x.dir");  // inside a run: never entered
  makeDir("my run.dir");
  writeFile(workFile("my run.dir/log.out"), "log");
  makeDir("RUN.DIR");  // case counts
  writeFile(workFile("fake.dir"), "not a folder");
  makeDir("y.res");  // a folder is no result file
  makeDir("study");
  makeDir("study/a.dir");
  writeFile(workFile("study/b.res"), "r");
  writeFile(workFile("study/c.out"), "o");
  writeFile(workFile("study/sub.def"), "d");  // definitions: top level only
  makeDir("study/deep");
  makeDir("study/deep/q.dir");  // two levels down
  writeFile(workFile("study/deep/z.res"), "r");
  writeFile(workFile("saved.res"), "r");
  writeFile(workFile("case.def"), "d");
  writeFile(workFile("top.out"), "o");
  // Entries whose status cannot be read are skipped.
  ASSERT_EQ(symlink("nowhere", workFile("gone.dir").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", workFile("gone.res").c_str()), 0);
  ASSERT_EQ(symlink("nowhere", workFile("study/gone.out").c_str()), 0);

  const std::string dirs = client().execute("aaS.list_brox_directories");
  EXPECT_EQ(sortedLines(dirs), (Lines{"my run.dir", "run_001.dir", "study/a.dir"})) << dirs;
  // A folder's own matches come before those of its subfolders.
  EXPECT_EQ(dirs.substr(dirs.size() - 12), "study/a.dir\n") << dirs;
  EXPECT_EQ(client().execute("aaS.list_brox_directories mdef-session study"), "study/a");
  EXPECT_EQ(client().execute("aaS.list_brox_directories mdef-session run_001"), "");

  const std::string res = client().execute("aaS.list_brox_res_files");
  EXPECT_EQ(sortedLines(res), (Lines{"saved.res", "study/b.res"})) << res;
  EXPECT_EQ(res.back(), '\n');
  EXPECT_EQ(client().execute("aaS.list_brox_res_files mdef-session study"), "study/b");

  EXPECT_EQ(client().execute("aaS.list_brox_def_files"), "case.def\n");
  const std::string out = client().execute("aaS.list_brox_out_files");
  EXPECT_EQ(sortedLines(out), (Lines{"my run.dir/log.out", "study/c.out", "top.out"})) << out;

  // Argument errors carry the whole command.
  EXPECT_TRUE(isException(client().tryExecute("aaS.list_brox_res_files mdef-session"),
                          "EScriptGenericError",
                          {{"errorType", "1"},
                           {"command", "aaS.list_brox_res_files mdef-session"},
                           {"errorInfo", "command [aaS.list_brox_res_files mdef-session] is invalid"},
                           {"commandOutput", ""}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_brox_directories session study"), "EScriptGenericError",
      {{"errorInfo", "command [aaS.list_brox_directories session study] is invalid"}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_brox_def_files now"), "EScriptGenericError",
      {{"errorInfo", "command [aaS.list_brox_def_files now] does not have parameters"}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.list_brox_out_files a b"), "EScriptGenericError",
      {{"errorInfo", "command [aaS.list_brox_out_files a b] does not have parameters"}}));
  EXPECT_TRUE(fakes().calls("broxmondata").empty());
}

TEST_F(BroxStorageE2eTest, RunDirectoryWithABlankIsListedAndRead) {
  makeDir("my run.dir");
  startService();
  fakes().setOutput("showvars", "./my run.dir", "Time\nP\n");
  fakes().setOutput("lastvaluesonly", "./my run.dir", "\"Time\",\"P\"\n3,0.5\n");
  fakes().setOutput("varinfo", "./my run.dir",
                    "<Variables><Variable Name=\"P\" Unit=\"Pa\"/></Variables>");

  EXPECT_EQ(client().execute("aaS.list_brox_directories"), "my run.dir\n");
  const std::string head =
      "[\n\t{\n\t\t\"monitorType\":\t\"DirectoryMonitor\"\n\t\t,\n"
      "\t\t\"monitorDir\":\t\"my run.dir\"\n\t\t,\n";
  EXPECT_EQ(json("aaS.list_monitors"),
            head + "\t\t\"xAxis\":\t\"Time\"\n\t\t,\n\t\t\"yAxis\":\n\t\t[\n\t\t\t\"P\"\n\t\t]\n\t}\n]\n");
  EXPECT_EQ(json("aaS.list_monitors_last_values"),
            head + "\t\t\"monitorRecords\": 1\n\t\t,\n\t\t\"lastValues\":\n\t\t{\n"
                   "\t\t\t\"Time\":\t3\n\t\t\t,\n\t\t\t\"P\":\t0.5\n\t\t}\n\t}\n]\n");
  EXPECT_EQ(json("aaS.list_active_variable_names session-name \"my run\""),
            head + "\t\t\"metaData\":\n\t\t[\n\t\t\t{\n\t\t\t\t\"Name\":\"P\"\n"
                   "\t\t\t\t,\"Unit\":\"Pa\"\n\t\t\t}\n\t\t]\n\t}\n]\n");

  const auto calls = takeMonitorCalls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(withoutOutFile(calls[0]), (Lines{"-showvars", "-out", "<out>", "-dir", "./my run.dir"}));
  EXPECT_EQ(withoutOutFile(calls[1]),
            (Lines{"-lastvaluesonly", "-out", "<out>", "-dir", "./my run.dir"}));
  EXPECT_EQ(withoutOutFile(calls[2]), (Lines{"-varinfo", "-out", "<out>", "-dir", "./my run.dir"}));
  expectTmpEmpty("the monitor listings");
}

TEST_F(BroxStorageE2eTest, UploadedFileNamesNeverReachAShell) {
  makeDir("study");
  startService();
  const std::vector<std::string> names = {
      "evil$(touch pwned1).res", "semi;touch pwned2;.res", "tick`touch pwned3`.res",
      "study/and&&touch${IFS}pwned4.res", "q\"x\\y.res"};
  for (const std::string& name : names) {
    Outcome o = upload(name, "saved");
    EXPECT_TRUE(o.ok) << name << "\n" << o;
    EXPECT_TRUE(fileExists(workFile(name))) << name;
  }

  const std::string listing = client().execute("aaS.list_brox_res_files");
  EXPECT_EQ(sortedLines(listing),
            (Lines{"evil$(touch pwned1).res", "q\"x\\y.res", "semi;touch pwned2;.res",
                   "study/and&&touch${IFS}pwned4.res", "tick`touch pwned3`.res"}))
      << listing;
  EXPECT_EQ(client().execute("aaS.list_brox_res_files mdef-session study"),
            "study/and&&touch${IFS}pwned4");

  fakes().setDefaultOutput("showvars", "Time\nP\n");
  fakes().setDefaultOutput("varinfo", "<Variables><Variable Name=\"P\"/></Variables>");
  fakes().setDefaultOutput("plotinfo", "<Plots/>");
  fakes().setDefaultOutput("data", "\"Time\",\"P\"\n1,2\n");
  fakes().setDefaultOutput("lastvaluesonly", "\"Time\",\"P\"\n1,2\n");
  const std::string monitors = json("aaS.list_saved_monitors");
  // Names are escaped in JSON and keep their backslash.
  EXPECT_NE(monitors.find("\t\t\"monitorFile\":\t\"q\\\"x\\\\y.res\"\n"), std::string::npos)
      << monitors;
  EXPECT_NE(monitors.find("\t\t\"monitorFile\":\t\"study/and&&touch${IFS}pwned4.res\"\n"),
            std::string::npos)
      << monitors;
  json("aaS.list_saved_variable_names");
  json("aaS.list_saved_report_plots");
  json("aaS.list_saved_monitors_last_values");
  json("aaS.list_saved_monitors_with_persisted_data");
  EXPECT_TRUE(isException(client().tryExecute("aaS.list_saved_monitors_with_persisted_data "
                                               "session-name evil$(touch${IFS}pwned5)"),
                          "EScriptGenericError",
                          {{"errorInfo", "File does not exist:\nevil$(touch${IFS}pwned5).res"}}));
  const std::string session = "study/and&&touch${IFS}pwned4";
  EXPECT_EQ(json("aaS.list_saved_monitors_with_persisted_data session-name " + session),
            "[\n\t{\n\t\t\"monitorType\":\t\"SavedMonitor\"\n\t\t,\n"
            "\t\t\"monitorFile\":\t\"" + session + ".res\"\n\t\t,\n"
            "\t\t\"monitorRecords\": 1\n\t\t,\n\t\t\"xAxis\":\t\"Time\"\n\t\t,\n"
            "\t\t\"yAxis\":\n\t\t[\n\t\t\t\"P\"\n\t\t]\n"
            "\t\t,\n\t\t\"Time\":\n\t\t[\n\t\t\t1\n\t\t]\n"
            "\t\t,\n\t\t\"P\":\n\t\t[\n\t\t\t2\n\t\t]\n\t}\n]\n");

  // Every run got each path as one argument, exactly as listed.
  std::set<std::string> listed;
  for (const std::string& name : names) listed.insert("./" + name);
  std::multiset<std::string> seen;
  const auto calls = takeMonitorCalls();
  for (const auto& call : calls) {
    const std::string path = FakePrograms::argumentAfter(call, "-res");
    EXPECT_EQ(call.size(), call[0] == "-out" ? 4u : 5u) << path;
    if (path != session + ".res") {
      EXPECT_EQ(listed.count(path), 1u) << path;
    }
    seen.insert(path);
  }
  for (const std::string& path : listed) EXPECT_EQ(seen.count(path), 5u) << path;
  EXPECT_EQ(calls.size(), 5 * names.size() + 1);

  for (const std::string& dir : {workDir(), workFile("study"), binDir(), serviceTmp()}) {
    for (const std::string& entry : listDirectory(dir)) {
      EXPECT_NE(entry.compare(0, 5, "pwned"), 0) << dir << "/" << entry;
    }
  }
  expectTmpEmpty("the saved listings");
}

}  // namespace
}  // namespace solvarium_test
