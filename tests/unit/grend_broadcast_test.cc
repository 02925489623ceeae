// The Grend kind's plain state without an ORB: the interpreter's rows, the
// broadcast dispatcher with its monitor-file state machine and trace, the
// process-id hand-over and the auto-save clock.
#include "solvers/grend/grend_broadcast.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "service/environment.h"
#include "service/watcher_buffers.h"
#include "solvers/grend/grend_interpreter.h"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::expectThrow;
using solvarium_test::readFile;
using Unknown = AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown;
using Members = std::map<std::string, std::string>;

class GrendStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[PATH_MAX];
    oldCwd_ = ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    ASSERT_EQ(::chdir(work_.path().c_str()), 0);
    solvarium::solverPidBuffer().clear();
    makeState(solvarium::Environment());
  }
  void TearDown() override { EXPECT_EQ(::chdir(oldCwd_.c_str()), 0); }

  // A fresh state with `environment` as read at start-up, and the flags
  // that the servant starts with.
  void makeState(const solvarium::Environment& environment) {
    state_ = GREND::GrendState();
    state_.dashFolder = GREND::dashFolderOf(environment);
    flags_ = solvarium::StateFlags();
    flags_.set("aas-off", true);
  }

  std::string run(const std::string& command) {
    return GREND::interpretGrendCommand(command, &state_, flags_);
  }
  // The members of the EKorlenUnknown that `call` raises ("none" and a
  // failure when it raises nothing).
  template <typename Call>
  Members failure(Call call) {
    const auto e = expectThrow<Unknown>(call);
    if (!e) return {{"none", ""}};
    return {{"code", std::to_string(e->code)}, {"description", e->description.in()},
            {"scope", e->scope.in()},          {"interfaceName", e->interfaceName.in()},
            {"operation", e->operation.in()},  {"moreInfo", e->moreInfo.in()}};
  }
  Members commandFailure(const std::string& command) {
    return failure([&] { run(command); });
  }
  Members broadcastFailure(const std::string& message) {
    return failure([&] { broadcast(message); });
  }
  void broadcast(const std::string& message) {
    GREND::dispatchGrendMessage(message, &state_, &flags_,
                                [this] { run("aaS.save_monitors_with_persisted_data monitor.json"); });
  }
  static Members error(const std::string& description, const std::string& operation = "",
                       const std::string& moreInfo = "") {
    return {{"code", "1"},          {"description", description}, {"scope", ""},
            {"interfaceName", ""},  {"operation", operation},     {"moreInfo", moreInfo}};
  }
  std::string status() { return flags_.text(); }

  solvarium_test::TempDir work_;
  std::string oldCwd_;
  GREND::GrendState state_;
  solvarium::StateFlags flags_;
};

const char kEmptySave[] =
    "{\n\"aaS.list_monitors_with_persisted_data mntr\":\n[\n],\n"
    "\"aaS.list_monitors_with_persisted_data gst\":\n[\n],\n"
    "\"aaS.list_monitors_with_persisted_data cnd\":\n[\n],\n"
    "\"aaS.list_monitors_with_persisted_data nlh\":\n[\n]}";

TEST_F(GrendStateTest, CommandsOfAFreshState) {
  EXPECT_EQ(run("aaS.get_status"), "aas-off\n");
  EXPECT_EQ(run("aaS.suggest"),
            "aaS.get_command_line_input_file\naaS.get_command_line_job_name\n"
            "aaS.get_current_load_step\naaS.get_current_step_description\n"
            "aaS.get_current_step_progress\naaS.get_errors\naaS.get_kor_rpc_port\n"
            "aaS.get_nr_errors\naaS.get_overall_progress\naaS.get_status\n"
            "aaS.list_monitors_with_persisted_data\naaS.save_monitors_with_persisted_data\n"
            "aaS.set_auto_save_period_json_monitors\naaS.suggest\n");
  EXPECT_EQ(run("aaS.implements.get_status"), "True");
  EXPECT_EQ(run("aaS.implements.suggest"), "True");
  EXPECT_EQ(run("aaS.implements.tic_one_minute"), "False");
  EXPECT_EQ(run("aaS.implements.nothing"), "False");
  EXPECT_EQ(run("aaS.get_command_line_input_file"), "");
  EXPECT_EQ(run("aaS.get_command_line_job_name"), "");
  EXPECT_EQ(run("aaS.get_nr_errors extra"), "0");
  EXPECT_EQ(run("aaS.get_errors"), "");
  EXPECT_EQ(run("aaS.list_monitors_with_persisted_data mntr"), "[\n]");
  EXPECT_EQ(run("aaS.list_monitors_with_persisted_data"), "[\n]");
  EXPECT_EQ(run("aaS.set_auto_save_period_json_monitors 5"), "Auto-Save set at 5 minutes");
  EXPECT_EQ(run("aaS_internal.tic_one_minute"), "");

  EXPECT_EQ(commandFailure(""), error("Empty instant aaS command"));
  EXPECT_EQ(commandFailure(" \t\r\n"), error("Empty instant aaS command"));
  EXPECT_EQ(commandFailure("aaS.get_kor_rpc_port x"),
            error("Information not available", "aaS.get_kor_rpc_port x"));
  EXPECT_EQ(commandFailure("aaS.implements.get_status now"),
            error("Error: 'aaS.implements.' commands do not have parameters.\n",
                  "aaS.implements.get_status now"));
  EXPECT_EQ(commandFailure("aaS.suggest x"),
            error("Error: 'aaS.suggest' commands do not have parameters.\n", "aaS.suggest x"));
  EXPECT_EQ(commandFailure("aaS.list_monitors_with_persisted_data csv"),
            error("Unknown instant aaS command"));
  EXPECT_EQ(commandFailure("aaS.bogus"), error("Unknown instant aaS command"));
  for (const char* bad : {"0", "-3", "x5", "", "5 6"}) {
    EXPECT_EQ(commandFailure(std::string("aaS.set_auto_save_period_json_monitors ") + bad),
              error("Invalid command"))
        << bad;
  }
  EXPECT_EQ(commandFailure("aaS.save_monitors_with_persisted_data a b"),
            error("Invalid command", "", "aaS.save_monitors_with_persisted_data a b"));
  EXPECT_FALSE(std::ifstream("a").good());
  EXPECT_EQ(run("aaS.save_monitors_with_persisted_data"), "Done!");
  EXPECT_EQ(readFile("monitor.json"), kEmptySave);
  // A save target outside the working directory, or one that cannot be
  // written, is an error, never "Done!".
  EXPECT_EQ(commandFailure("aaS.save_monitors_with_persisted_data ../out.json")["description"],
            "Error writing file '../out.json'");
  ASSERT_EQ(::mkdir("taken.json", 0755), 0);
  EXPECT_EQ(commandFailure("aaS.save_monitors_with_persisted_data taken.json")["description"],
            "Error writing file 'taken.json'");
}

TEST_F(GrendStateTest, BroadcastsUpdateTheStateAndAreTraced) {
  broadcast("broadcast::overall-progress:  42 %\t");
  broadcast("broadcast::current-step-description: solving\n");
  broadcast("broadcast::current-step-progress:\t \t");
  broadcast(" broadcast::current-load-step:3");  // leading blank: no effect
  broadcast("broadcast::set:kor-rpc-port: 5001\r\n");
  broadcast("broadcast::set:command_line_job_name:job1");
  broadcast("broadcast::set:command_line_input_file:in.dat\r\n");
  broadcast("broadcast::error:first");
  broadcast("broadcast::error:");
  broadcast(" \t\r\n");
  EXPECT_EQ(run("aaS.get_overall_progress"), "42 %");
  EXPECT_EQ(run("aaS.get_current_step_description"), "solving\n");
  EXPECT_EQ(commandFailure("aaS.get_current_step_progress")["description"],
            "Information not available");
  EXPECT_EQ(commandFailure("aaS.get_current_load_step")["description"],
            "Information not available");
  EXPECT_EQ(run("aaS.get_kor_rpc_port"), " 5001");
  EXPECT_EQ(run("aaS.get_command_line_job_name"), "job1");
  EXPECT_EQ(run("aaS.get_command_line_input_file"), "in.dat");
  EXPECT_EQ(run("aaS.get_nr_errors"), "2");
  EXPECT_EQ(run("aaS.get_errors"), "first\n\n");
  broadcast("broadcast::clear-errors");
  EXPECT_EQ(run("aaS.get_nr_errors"), "0");

  broadcast("broadcast::started:solve");
  broadcast("broadcast::started:prejournaling");
  broadcast("broadcast::started:a:b:journaling");
  EXPECT_EQ(status(), "a:b:journaling\naas-off\nsolve\n");
  broadcast("broadcast::ended:solve");
  EXPECT_EQ(status(), "a:b:journaling\naas-off\n");
  EXPECT_EQ(commandFailure("aaS.get_overall_progress")["description"],
            "Information not available");
  broadcast("broadcast::interrupted");
  EXPECT_EQ(run("aaS.get_status"), "");

  // The process id: a leading decimal number above 0 that fits 32 bits.
  for (const char* bad : {"abc", "0", "-5", "12345678901", "9999999999", "x12", ""}) {
    broadcast(std::string("broadcast::visited:grend-pid:") + bad);
    EXPECT_TRUE(solvarium::solverPidBuffer().empty()) << bad;
  }
  broadcast("broadcast::visited:grend-pid:4242\n");
  EXPECT_EQ(solvarium::solverPidBuffer().get(), "4242");
  broadcast("broadcast::visited:grend-pid:4343 (solver)");
  EXPECT_EQ(solvarium::solverPidBuffer().get(), "4343 (solver)");

  EXPECT_EQ(readFile("grend_broadcasts.txt"),
            "<<broadcast::overall-progress:  42 %\t>>\n"
            "<<broadcast::current-step-description: solving\n>>\n"
            "<<broadcast::current-step-progress:\t \t>>\n"
            "<< broadcast::current-load-step:3>>\n"
            "<<broadcast::set:kor-rpc-port: 5001\r\n>>\n"
            "<<broadcast::set:command_line_job_name:job1>>\n"
            "<<broadcast::set:command_line_input_file:in.dat\r\n>>\n"
            "<<broadcast::error:first>>\n<<broadcast::error:>>\n<< \t\r\n>>\n"
            "<<broadcast::clear-errors>>\n<<broadcast::started:solve>>\n"
            "<<broadcast::started:prejournaling>>\n<<broadcast::started:a:b:journaling>>\n"
            "<<broadcast::ended:solve>>\n<<broadcast::interrupted>>\n"
            "<<broadcast::visited:grend-pid:abc>>\n<<broadcast::visited:grend-pid:0>>\n"
            "<<broadcast::visited:grend-pid:-5>>\n<<broadcast::visited:grend-pid:12345678901>>\n"
            "<<broadcast::visited:grend-pid:9999999999>>\n<<broadcast::visited:grend-pid:x12>>\n"
            "<<broadcast::visited:grend-pid:>>\n<<broadcast::visited:grend-pid:4242\n>>\n"
            "<<broadcast::visited:grend-pid:4343 (solver)>>\n");
}

TEST_F(GrendStateTest, MonitorFileStateMachine) {
  ASSERT_EQ(::mkdir("dash", 0755), 0);
  makeState(solvarium::Environment({{"GREND_DASH_DIR_FOLDER", work_.path() + "\\dash"}}));
  EXPECT_EQ(GREND::inDashFolder(state_.dashFolder, "m.mntr"), work_.path() + "/dash/m.mntr");
  const std::string p = work_.path() + "/dash/m.mntr";
  const std::string file = "File '" + p + "'";
  std::ofstream(p) << "T\nA\n1\n";

  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-activate:none.mntr"),
            error("Invalid activate file broadcast. File '" + work_.path() +
                      "/dash/none.mntr' does not exist.",
                  "", work_.path() + "/dash/none.mntr"));
  // A name that leaves the monitor folder counts as missing.
  std::ofstream("outside.mntr") << "x";
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-activate:../outside.mntr")["description"],
            "Invalid activate file broadcast. File '" + work_.path() +
                "/dash/../outside.mntr' does not exist.");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-open:m.mntr")["description"],
            "Invalid open file broadcast. " + file + " is not activated");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-deactivate:m.mntr")["description"],
            "Invalid deactivate file broadcast. " + file + " is broadcast as not activated");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-closed:m.mntr")["description"],
            "Invalid close file broadcast. " + file + " is not activated");
  broadcast("broadcast::monitor-file-activate:m.mntr");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-activate:m.mntr")["description"],
            "Invalid activate file broadcast. " + file + " is broadcast as already activated");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-closed:m.mntr")["description"],
            "Invalid closed file broadcast. Open file broadcast for '" + p +
                "' has not been executed");
  broadcast("broadcast::monitor-file-open:m.mntr");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-open:m.mntr")["description"],
            "Invalid open file broadcast. " + file + " is broadcast as already open");
  EXPECT_EQ(run("aaS.list_monitors_with_persisted_data mntr"),
            "[\n{\n\t\"Warning\": \"" + file +
                " is in use by the solver and cannot be accessed\"\n}\n]");
  broadcast("broadcast::monitor-file-deactivate:m.mntr");
  EXPECT_EQ(run("aaS.list_monitors_with_persisted_data mntr"), "[\n]");
  broadcast("broadcast::monitor-file-closed:m.mntr");  // inactive but present
  broadcast("broadcast::monitor-file-activate:m.mntr");
  broadcast("broadcast::monitor-file-open:m.mntr");
  broadcast("broadcast::monitor-file-deactivate-all");
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-closed:m.mntr")["description"],
            "Invalid close file broadcast. " + file + " is not activated");
  ASSERT_EQ(::unlink(p.c_str()), 0);
  EXPECT_EQ(broadcastFailure("broadcast::monitor-file-closed:m.mntr")["description"],
            "Invalid closed file broadcast. " + file + " does not exist.");
  const std::string errors = readFile("instant_aas_error.txt");
  EXPECT_EQ(errors.find("\nInvalid activate file broadcast. File '" + work_.path() +
                        "/dash/none.mntr' does not exist.\n"),
            0u);
  EXPECT_NE(errors.find("\nInvalid closed file broadcast. " + file + " does not exist.\n"),
            std::string::npos);
}

TEST_F(GrendStateTest, AutoSaveAndSolverShutdownSave) {
  auto ticksThatSave = [&](int ticks) {
    std::string saved;
    for (int i = 1; i <= ticks; ++i) {
      ::unlink("monitor.json");
      run("aaS_internal.tic_one_minute");
      if (std::ifstream("monitor.json").good()) saved += std::to_string(i) + " ";
    }
    return saved;
  };
  EXPECT_EQ(ticksThatSave(59), "");
  EXPECT_EQ(ticksThatSave(61), "1 61 ");  // the 60th tick overall, then 60 later
  run("aaS.set_auto_save_period_json_monitors 2");
  EXPECT_EQ(ticksThatSave(6), "2 4 6 ");
  // A period set at or below the minutes already counted saves at the next
  // tick instead of never.
  run("aaS.set_auto_save_period_json_monitors 100");
  EXPECT_EQ(ticksThatSave(30), "");
  run("aaS.set_auto_save_period_json_monitors 10");
  EXPECT_EQ(ticksThatSave(11), "1 11 ");
  // A failed save is raised once; the next try is a whole period later.
  run("aaS.set_auto_save_period_json_monitors 2");
  ::unlink("monitor.json");
  ASSERT_EQ(::mkdir("monitor.json", 0755), 0);
  EXPECT_EQ(run("aaS_internal.tic_one_minute"), "");
  EXPECT_EQ(commandFailure("aaS_internal.tic_one_minute")["description"],
            "Error writing file 'monitor.json'");
  EXPECT_EQ(run("aaS_internal.tic_one_minute"), "");
  ASSERT_EQ(::rmdir("monitor.json"), 0);

  ::unlink("monitor.json");
  broadcast("broadcast::started:solver-shutdown");
  EXPECT_EQ(readFile("monitor.json"), kEmptySave);
  EXPECT_EQ(status(), "aas-off\nsolver-shutdown\n");
  // A save that fails is logged; the flag is still set.
  broadcast("broadcast::ended:solver-shutdown");
  ::unlink("monitor.json");
  ASSERT_EQ(::mkdir("monitor.json", 0755), 0);
  broadcast("broadcast::started:solver-shutdown");
  EXPECT_EQ(status(), "aas-off\nsolver-shutdown\n");
  EXPECT_NE(readFile("instant_aas_error.txt").find("\nError writing file 'monitor.json'\n"),
            std::string::npos);
}

}  // namespace
