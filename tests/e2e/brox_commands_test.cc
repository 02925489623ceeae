// Brox commands that read the run status (through the test-only run-status
// library) or start the stop program, and how requests are serialised.
#include <sys/stat.h>

#include <atomic>
#include <future>
#include <set>
#include <sstream>

#include "tests/support/fake_programs.h"
#include "tests/support/harness.h"
#include "tests/support/joined_threads.h"

namespace solvarium_test {
namespace {

class BroxCommandsTest : public ServiceTest {
 protected:
  void SetUp() override {
    useFakeQuennet();
    startBrox();
  }
  // One line of "fake_quennet_runs.txt".
  static std::string run(const std::string& key, const std::string& name, bool multi,
                         bool completed, const std::string& reason = "",
                         const std::string& configs = "") {
    return key + "\t" + name + "\t" + (multi ? "1" : "0") + "\t" + (completed ? "1" : "0") +
           "\t" + reason + "\t" + configs + "\n";
  }
  void setRuns(const std::string& lines) { writeFile(workFile("fake_quennet_runs.txt"), lines); }
};

TEST_F(BroxCommandsTest, StorageStatusWritesEveryRunAsJson) {
  EXPECT_EQ(client().execute("aaS.get_storage_status"), "{\n}\n");

  setRuns(run("./case1.res", "case1", false, true, "Converged") +
          run("./multi", "multi", true, false, "", "b,a") + run("plain", "plain", false, false));
  const std::string expected =
      "{\n"
      "\t\"case1.res\":\n"
      "\t{\n"
      "\t\t\"Name\":\"case1\"\n"
      "\t\t,\"Completed\":true\n"
      "\t\t,\"ExitReason\":\"Converged\"\n"
      "\t}\n"
      "\n"
      "\t,\n"
      "\t\"multi\":\n"
      "\t{\n"
      "\t\t\"Name\":\"multi\"\n"
      "\t\t,\"Completed\":false\n"
      "\t\t,\"MultiConfig\":[\"a\",\"b\"]\n"
      "\t}\n"
      "\n"
      "\t,\n"
      "\t\"plain\":\n"
      "\t{\n"
      "\t\t\"Name\":\"plain\"\n"
      "\t\t,\"Completed\":false\n"
      "\t}\n"
      "\n"
      "}\n";
  EXPECT_EQ(client().execute("aaS.get_storage_status"), expected);
  // Further words are ignored.
  EXPECT_EQ(client().execute("aaS.get_storage_status now please"), expected);

  // Texts from the run information are JSON-escaped.
  setRuns(run("./q\"x.res", "na\\me\"", false, true, "said \"hi\""));
  EXPECT_EQ(client().execute("aaS.get_storage_status"),
            "{\n\t\"q\\\"x.res\":\n\t{\n\t\t\"Name\":\"na\\\\me\\\"\"\n"
            "\t\t,\"Completed\":true\n\t\t,\"ExitReason\":\"said \\\"hi\\\"\"\n\t}\n\n}\n");
}

TEST_F(BroxCommandsTest, StorageStatusFailuresBecomeScriptErrors) {
  writeFile(workFile("fake_quennet_fail.txt"), "Exception caught:\nno runs\n");
  for (const std::string& command : std::vector<std::string>{
           "aaS.get_storage_status", "aaS.list_all_brox_storages",
           "aaS.list_all_active_brox_storages"}) {
    Outcome o = client().tryExecute(command);
    EXPECT_TRUE(isException(o, "EScriptGenericError",
                            {{"errorType", "1"},
                             {"errorInfo", "Exception caught:\nno runs\n"},
                             {"commandOutput", ""}}))
        << command;
    EXPECT_EQ(o.member("command").compare(0, command.size(), command), 0) << o;
  }
  // A message longer than the buffer arrives cut to 255 characters and marked.
  std::string longMessage(300, 'm');
  writeFile(workFile("fake_quennet_fail.txt"), longMessage);
  EXPECT_TRUE(isException(client().tryExecute("aaS.get_storage_status"), "EScriptGenericError",
                          {{"errorInfo", std::string(255, 'm') + "\nTruncated message\n"}}));
  // A later successful query answers normally again.
  unlink(workFile("fake_quennet_fail.txt").c_str());
  EXPECT_EQ(client().execute("aaS.get_storage_status"), "{\n}\n");
}

TEST_F(BroxCommandsTest, MissingRunStatusLibraryIsReportedWithDiagnostics) {
  unlink((broxBinDir() + "/linux-amd64/libQuennet.so").c_str());
  const std::string path = broxBinDir() + "/linux-amd64/libQuennet.so";
  Outcome first = client().tryExecute("aaS.get_storage_status");
  ASSERT_TRUE(isException(first, "EScriptGenericError"));
  std::string info = first.member("errorInfo");
  EXPECT_EQ(info.find("Error:" + path + " file is missing!"), 0u) << info;
  EXPECT_NE(info.find("\nBROXBINDIR:\n" + broxBinDir() + "\n"), std::string::npos) << info;
  EXPECT_NE(info.find("\nPATH:\n"), std::string::npos) << info;
  // Installing the library later changes nothing for this process.
  useFakeQuennet();
  Outcome second = client().tryExecute("aaS.get_storage_status");
  EXPECT_EQ(second.member("errorInfo"), info);
}

TEST_F(BroxCommandsTest, RunListingsStripOnlyTheLeadingDotSlash) {
  setRuns(run("./a.res", "a", false, true, "Converged") +
          run("./m", "sess1", true, false, "", "c2,c1") + run("./n", "sess2", true, true, "Done", "x") +
          run("./case./b.res", "b", false, false) + run("../up.res", "up", false, false));
  // Byte order of the keys: "../up.res" < "./a.res" < "./case./b.res" < "./m" < "./n".
  EXPECT_EQ(client().execute("aaS.list_all_brox_storages"),
            "../up.res\na.res\ncase./b.res\nm/c1\nm/c2\nn/x\n");
  EXPECT_EQ(client().execute("aaS.list_all_brox_storages mdef-session sess1"),
            "../up.res\na.res\ncase./b.res\nm/c1\nm/c2\n");
  EXPECT_EQ(client().execute("aaS.list_all_brox_storages mdef-session"),
            "../up.res\na.res\ncase./b.res\nm/c1\nm/c2\nn/x\n");
  EXPECT_EQ(client().execute("aaS.list_all_active_brox_storages"),
            "../up.res\n./case./b.res\n./m/c1\n./m/c2\n");
}

TEST_F(BroxCommandsTest, TerminateSolverStartsTheStopProgram) {
  FakePrograms fakes(binDir());
  fakes.install("broxstop");
  ASSERT_EQ(mkdir(workFile("run1").c_str(), 0755), 0);

  EXPECT_EQ(client().execute("aaS.terminate_solver run1"),
            "broxstop -directory run1\n"
            "Terminate solver command issued. The command will be executed at the end of current "
            "iteration\n");
  auto calls = fakes.calls("broxstop");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(FakePrograms::argumentAfter(calls[0], "-directory"), "run1");

  EXPECT_TRUE(isException(client().tryExecute("aaS.terminate_solver"), "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "Please provide the name of Brox directory"},
                           {"questionMessage", ""}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.terminate_solver nothere"), "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "Brox directory provided does not exist"},
                           {"questionMessage", "nothere"}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.terminate_solver run1 more"), "EScriptGenericError",
      {{"errorInfo",
        "command [aaS.terminate_solver run1 more] does has only one parameter, the Brox solver "
        "directory."}}));
  EXPECT_EQ(fakes.calls("broxstop").size(), 1u);

  // Without the program on PATH the error says so and shows the environment.
  unlink((binDir() + "/broxstop").c_str());
  Outcome missing = client().tryExecute("aaS.terminate_solver run1");
  ASSERT_FALSE(missing.ok);
  std::string all;
  for (const auto& kv : missing.members) all += kv.second + "\n";
  EXPECT_NE(all.find("Cannot execute program"), std::string::npos) << missing;
  EXPECT_NE(all.find(broxBinDir()), std::string::npos) << missing;
}

TEST_F(BroxCommandsTest, TerminateStopsEveryUnfinishedRun) {
  FakePrograms fakes(binDir());
  fakes.install("broxstop");
  ASSERT_EQ(mkdir(workFile("r1").c_str(), 0755), 0);
  ASSERT_EQ(mkdir(workFile("r2").c_str(), 0755), 0);
  setRuns(run("./r1", "r1", false, false) + run("./r2", "r2", false, true, "Done") +
          run("./r3", "r3", false, false));

  // r3 has no directory: it fails, r1 is still stopped, r2 is finished.
  Outcome o = client().tryExecute("aaS.terminate");
  ASSERT_TRUE(isException(o, "EScriptGenericError", {{"errorType", "1"}, {"command", "aaS.terminate"}}));
  EXPECT_NE(o.member("errorInfo").find("Could not terminate ./r3"), std::string::npos) << o;
  std::string output = o.member("commandOutput");
  EXPECT_NE(output.find("Terminating ./r1 ...\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Done!\n"), std::string::npos) << output;
  EXPECT_NE(output.find("Terminating ./r3 ...\n"), std::string::npos) << output;
  EXPECT_EQ(output.find("./r2"), std::string::npos) << output;
  auto calls = fakes.calls("broxstop");
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(FakePrograms::argumentAfter(calls[0], "-directory"), "./r1");

  fakes.clearCalls("broxstop");
  setRuns(run("./r1", "r1", false, false) + run("./r2", "r2", false, true, "Done"));
  std::string answer = client().execute("aaS.terminate");
  EXPECT_EQ(answer.find("Terminating ./r1 ...\n"), 0u) << answer;
  EXPECT_NE(answer.find("Done!\n"), std::string::npos) << answer;
  EXPECT_EQ(fakes.calls("broxstop").size(), 1u);

  EXPECT_TRUE(isException(client().tryExecute("aaS.terminate now"), "EScriptGenericError",
                          {{"errorInfo", "command [aaS.terminate now] has no parameters."}}));
}

TEST_F(BroxCommandsTest, ARequestWaitsWhileABroxCommandRuns) {
  const std::string marks = logDir() + "/stop";
  writeProgram("broxstop", "touch '" + marks + ".started'\nsleep 2\ntouch '" + marks + ".done'\n");
  ASSERT_EQ(mkdir(workFile("run1").c_str(), 0755), 0);

  std::future<Outcome> slow = std::async(std::launch::async, [&] {
    return client().tryExecute("aaS.terminate_solver run1");
  });
  ASSERT_TRUE(waitUntil([&] { return fileExists(marks + ".started"); }, seconds(10)));
  // A second client, with references of its own, asks while the program runs.
  ServiceClient other(workDir());
  std::string status = other.execute("aaS.get_status");
  bool stopDoneFirst = fileExists(marks + ".done");
  EXPECT_TRUE(stopDoneFirst) << "the second request ran while the stop program was running";
  EXPECT_EQ(status, "solver-alive\n");
  Outcome first = slow.get();
  EXPECT_TRUE(first.ok) << first;
}

TEST_F(BroxCommandsTest, ConcurrentClientsAndBroadcastsGetWellFormedAnswers) {
  std::atomic<bool> stop{false};
  std::atomic<int> broadcasts{0};
  const auto deadline = std::chrono::steady_clock::now() + seconds(20);
  JoinedThreads solverSide([&] { stop = true; });
  solverSide.start([&] {
    ServiceClient side(workDir());
    for (int i = 0; i < 2000 && !stop && std::chrono::steady_clock::now() < deadline; ++i) {
      side.broadcast((i % 2 ? "ended:s" : "started:s") + std::to_string(i % 7));
      ++broadcasts;
    }
  });
  std::vector<std::future<std::string>> clients;
  for (int c = 0; c < 4; ++c) {
    clients.push_back(std::async(std::launch::async, [&] {
      ServiceClient mine(workDir());
      auto scripting = mine.scripting();
      for (int i = 0; i < 300 && std::chrono::steady_clock::now() < deadline; ++i) {
        CORBA::String_var answer = scripting->executeToString("aaS.get_status");
        std::string text = answer.in();
        // Lines end with "\n", names are known, sorted and unique.
        if (!text.empty() && text.back() != '\n') return "unterminated: " + text;
        std::istringstream in(text);
        std::string line, previous;
        while (std::getline(in, line)) {
          bool known = line == "solver-alive" ||
                       (line.size() == 2 && line[0] == 's' && line[1] >= '0' && line[1] <= '6');
          if (!known) return "unknown name: <" + line + "> in " + text;
          if (!previous.empty() && line <= previous) return "not sorted: " + text;
          previous = line;
        }
      }
      return std::string();
    }));
  }
  for (auto& c : clients) EXPECT_EQ(c.get(), "");
  solverSide.join();
  EXPECT_GT(broadcasts.load(), 0);
  EXPECT_TRUE(service().running());
  EXPECT_EQ(client().execute("aaS.implements.get_status"), "True");
}

}  // namespace
}  // namespace solvarium_test
