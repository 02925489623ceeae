// Drives the Brox servant's interpreter directly, with a real ORB and the
// servant POA, as CInstantScripting does.
#include "solvers/brox/brox_servant.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "common/startup_error.h"
#include "service/instant_scripting.h"
#include "solvers/brox/brox_monitors.h"
#include "solvers/brox/brox_run_status.h"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_servant_fixture.h"

namespace {

namespace Ex = AAS_CORBA::BROXInstant::Exceptions;
using solvarium_test::expectThrow;

std::string answer(BROX::CBROXSolvarium* servant, const std::string& command) {
  CORBA::String_var text = servant->run(command.c_str(), BROX::CBROXSolvarium::Raises::kKindModule);
  return text.in();
}

class BroxServantTest : public ::testing::Test {
 protected:
  // One servant for the whole suite: once activated it stays in the POA.
  static void SetUpTestSuite() {
    workDir_ = new solvarium_test::TempDir();
    binDir_ = new solvarium_test::TempDir();
    char cwd[PATH_MAX];
    oldCwd_ = ::getcwd(cwd, sizeof cwd) != nullptr ? cwd : "/";
    ASSERT_EQ(::chdir(workDir_->path().c_str()), 0);
#ifdef QUENNET_LIBRARY
    ::mkdir(binDir_->file("linux-amd64").c_str(), 0755);
    solvarium_test::writeFile(binDir_->file("linux-amd64/libQuennet.so"),
                              solvarium_test::readFile(QUENNET_LIBRARY));
#endif
    BROX::TEST_resetQuennetBinding();
    servant_ = new BROX::CBROXSolvarium(brox_test::servantOrb(),
                                        solvarium::Environment({{"BROXBINDIR", binDir_->path()}}));
  }
  static void TearDownTestSuite() {
    BROX::TEST_resetQuennetBinding();
    if (::chdir(oldCwd_.c_str()) != 0) ADD_FAILURE() << "chdir back";
    delete workDir_;
    delete binDir_;
  }

  static BROX::CBROXSolvarium* servant_;
  static solvarium_test::TempDir* workDir_;
  static solvarium_test::TempDir* binDir_;
  static std::string oldCwd_;
};

BROX::CBROXSolvarium* BroxServantTest::servant_ = nullptr;
solvarium_test::TempDir* BroxServantTest::workDir_ = nullptr;
solvarium_test::TempDir* BroxServantTest::binDir_ = nullptr;
std::string BroxServantTest::oldCwd_;

// The script error shape: errorType 1, the whole command, `info`, no output.
void expectScriptError(BROX::CBROXSolvarium* servant, const std::string& text,
                       const std::string& info) {
  if (const auto e = expectThrow<Ex::EInstantScriptError>([&] { answer(servant, text); }, text)) {
    EXPECT_EQ(e->errorType, 1);
    EXPECT_EQ(std::string(e->command.in()), text);
    EXPECT_EQ(std::string(e->errorInfo.in()), info);
    EXPECT_STREQ(e->commandOutput.in(), "");
  }
}

#define EXPECT_SCRIPT_ERROR(text, info) expectScriptError(servant_, text, info)

TEST_F(BroxServantTest, EmptyAndMalformedCommands) {
  for (const char* text : {"", " \t\r\n "}) {
    if (const auto e = expectThrow<Ex::EKorlenUnknown>([&] { answer(servant_, text); })) {
      EXPECT_EQ(e->code, 1);
      EXPECT_STREQ(e->description.in(), "Empty instant aaS command");
      EXPECT_STREQ(e->scope.in(), "");
    }
  }
  const std::string bad = "aaS.getenv a \"b";
  if (const auto e = expectThrow<Ex::EKorlenInvalidArgument>([&] { answer(servant_, bad); })) {
    EXPECT_EQ(e->code, 1);
    EXPECT_STREQ(e->description.in(), "Missing double quote in argument");
    EXPECT_STREQ(e->scope.in(), "Instant BROX aaS");
    EXPECT_STREQ(e->interfaceName.in(), "ICoScriptingUnit");
    EXPECT_STREQ(e->operation.in(), "executeCommandToString");
    EXPECT_EQ(std::string(e->moreInfo.in()), "Command:\n" + bad);
    EXPECT_EQ(e->position, 2);
  }
  EXPECT_SCRIPT_ERROR("aaS.no_such_command", "Unknown instant aaS command");
  EXPECT_SCRIPT_ERROR("aaS_internal.tic", "Unknown instant aaS command");
}

TEST_F(BroxServantTest, GetenvAnswersQuestionsAndErrors) {
  ::setenv("BROX_TEST_VALUE", "v a l", 1);
  ::setenv("BROX_TEST_EMPTY", "", 1);
  EXPECT_EQ(answer(servant_, "aaS.getenv BROX_TEST_VALUE"), "v a l");
  if (const auto e =
          expectThrow<Ex::EInstantReadUnquotedString>([&] { answer(servant_, "aaS.getenv"); })) {
    EXPECT_EQ(e->questionType, 2);
    EXPECT_STREQ(e->questionPrompt.in(), "Please provide name of environment variable");
    EXPECT_STREQ(e->defaultAnswer.in(), "");
  }
  EXPECT_SCRIPT_ERROR("aaS.getenv a b", "Invalid command[b]");
  const struct {
    const char* command;
    int code;
    const char* name;
  } cases[] = {{"aaS.getenv BROX_TEST_UNSET_VARIABLE", 1, "BROX_TEST_UNSET_VARIABLE"},
               {"aaS.getenv BROX_TEST_EMPTY", 2, "BROX_TEST_EMPTY"},
               {"aaS.getenv \"BROX_TEST_VALUE\"", 1, "\"BROX_TEST_VALUE\""}};
  for (const auto& c : cases) {
    if (const auto e =
            expectThrow<Ex::EKorlenUnknown>([&] { answer(servant_, c.command); }, c.command)) {
      EXPECT_EQ(e->code, c.code);
      EXPECT_STREQ(e->description.in(), "Environment variable does not exist!");
      EXPECT_STREQ(e->scope.in(), "BROX Instant aaS");
      EXPECT_STREQ(e->interfaceName.in(), "ICoBROXUnit");
      EXPECT_STREQ(e->operation.in(), "executeCommandToString('aaS.get_env')");
      EXPECT_STREQ(e->moreInfo.in(), c.name);
    }
  }
}

TEST_F(BroxServantTest, SuggestAndImplements) {
  const std::string list = answer(servant_, "aaS.suggest");
  EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), 32);
  EXPECT_EQ(list.rfind("aaS.amend_report_plots_will\naaS.get\n", 0), 0u);
  EXPECT_SCRIPT_ERROR("aaS.suggest x", "Error: 'aaS_suggest.' commands do not have parameters.\n");

  EXPECT_EQ(answer(servant_, "aaS.implements.getenv"), "True");
  EXPECT_EQ(answer(servant_, "aaS.implements.suggest"), "True");
  EXPECT_EQ(answer(servant_, "aaS.implements.tic_one_minute"), "False");
  EXPECT_EQ(answer(servant_, "aaS.implements."), "False");
  EXPECT_SCRIPT_ERROR("aaS.implements.getenv x",
                      "Error: 'aaS.implements.' commands do not have parameters.\n");
  EXPECT_SCRIPT_ERROR("aaS.implements.nothing x",
                      "Error: 'aaS.implements.' commands do not have parameters.\n");
}

TEST_F(BroxServantTest, BroadcastsAndLivenessMakeTheStatus) {
  servant_->stateFlags().clear();
  servant_->addGenericExceptionMessage("broadcast::started:prejournaling");
  servant_->addGenericExceptionMessage("broadcast::started:journaling");
  servant_->addGenericExceptionMessage("broadcast::ended:never-started");
  servant_->addGenericExceptionMessage("broadcast::visited:x");
  servant_->addGenericExceptionMessage("broadcast::resoluted:y");
  servant_->addGenericExceptionMessage("something else");
  servant_->addGenericExceptionMessage(nullptr);
  EXPECT_EQ(answer(servant_, " \r\naaS.get_status\t"), "journaling\n");
  EXPECT_EQ(answer(servant_, "aaS.get_status extra words"), "journaling\n");
  EXPECT_TRUE(servant_->stateFlags().has("never-started"));

  servant_->addGenericExceptionMessage("broadcast::started:");
  EXPECT_EQ(answer(servant_, "aaS.get_status"), "\njournaling\n");

  const auto following = [](const std::string& pid) {
    return std::make_unique<BROX::CBROXSolvarium>(brox_test::servantOrb(), solvarium::Environment(
        {{"BROXBINDIR", binDir_->path()}, {"KORLEN_BROXSOLVE_PID", pid}}));
  };
  // A solver process that has ended.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ::waitpid(child, nullptr, 0);
  const auto ended = following(std::to_string(child));
  EXPECT_EQ(answer(ended.get(), "aaS.get_status"), "solver-shutdown\n");

  // The variable is read once, at start-up: a live pid set later changes nothing.
  ::setenv("KORLEN_BROXSOLVE_PID", std::to_string(::getpid()).c_str(), 1);
  EXPECT_EQ(answer(ended.get(), "aaS.get_status"), "solver-shutdown\n");
  ::unsetenv("KORLEN_BROXSOLVE_PID");
  EXPECT_EQ(answer(following(std::to_string(::getpid())).get(), "aaS.get_status"),
            "solver-alive\n");

  for (const char* disabled : {"", "abc", "-5", "99999999999999"}) {
    EXPECT_EQ(answer(following(disabled).get(), "aaS.get_status"), "") << disabled;
  }
}

TEST_F(BroxServantTest, WillSwitchAndAutoSavePeriod) {
  EXPECT_EQ(answer(servant_, "aaS.get implicit_will_amends"), "on");
  EXPECT_EQ(answer(servant_, "aaS.set implicit_will_amends on"),
            "<implicit_will_amends> is already on");
  EXPECT_EQ(answer(servant_, "aaS.set implicit_will_amends off"),
            "<implicit_will_amends> turned off.");
  EXPECT_EQ(answer(servant_, "aaS.get implicit_will_amends"), "off");
  EXPECT_EQ(answer(servant_, "aaS.set implicit_will_amends off"),
            "<implicit_will_amends> is already off");
  EXPECT_EQ(answer(servant_, "aaS.set implicit_will_amends on"),
            "<implicit_will_amends> turned on.");
  EXPECT_SCRIPT_ERROR("aaS.set implicit_will_amends maybe",
                      "Invalid command[aaS.set implicit_will_amends maybe]");
  EXPECT_SCRIPT_ERROR("aaS.get", "Invalid command[aaS.get]");

  EXPECT_EQ(answer(servant_, "aaS.set_auto_save_period_json_monitors 3"),
            "Auto-Save period set to 3 minutes.");
  if (const auto e = expectThrow<Ex::EInstantReadUnquotedString>(
          [&] { answer(servant_, "aaS.set_auto_save_period_json_monitors"); })) {
    EXPECT_STREQ(e->questionPrompt.in(), "Auto-Save period in minutes");
    EXPECT_STREQ(e->defaultAnswer.in(), "3");  // the current period
  }
  for (const char* bad : {"0", "-2", "3x", "three"}) {
    EXPECT_SCRIPT_ERROR(std::string("aaS.set_auto_save_period_json_monitors ") + bad,
                        "Please provide a positive number for auto-save period.");
  }
  EXPECT_SCRIPT_ERROR("aaS.set_auto_save_period_json_monitors 1 2", "Invalid command[2]");
}

TEST_F(BroxServantTest, SaveRefusesBadNamesAndAsksForOne) {
  if (const auto e = expectThrow<Ex::EInstantReadUnquotedString>(
          [&] { answer(servant_, "aaS.save_report_plots_with_persisted_data"); })) {
    EXPECT_STREQ(e->questionPrompt.in(), "JSON persisted monitors filename");
    EXPECT_STREQ(e->defaultAnswer.in(), "monitor.json");
  }
  EXPECT_SCRIPT_ERROR("aaS.save_report_plots_with_persisted_data a b", "Invalid command[b]");
  EXPECT_SCRIPT_ERROR("aaS.save_report_plots_with_persisted_data ../escape.json",
                      "Cannot open output file name.");
  EXPECT_SCRIPT_ERROR("aaS.save_report_plots_with_persisted_data /tmp/escape.json",
                      "Cannot open output file name.");
  EXPECT_SCRIPT_ERROR("aaS.retrieve_will_metadata x", "Invalid option[x]");
}

#ifdef QUENNET_LIBRARY
TEST_F(BroxServantTest, RunStatusOfAnEmptyDirectory) {
  if (!std::ifstream(QUENNET_LIBRARY)) GTEST_SKIP() << "run-status library not built";
  try {
    EXPECT_EQ(answer(servant_, "aaS.get_storage_status"), "{\n}\n");
  } catch (const Ex::EInstantScriptError& e) {
    FAIL() << e.errorInfo.in();
  }
  EXPECT_EQ(answer(servant_, "aaS.list_all_brox_storages"), "");
  EXPECT_EQ(answer(servant_, "aaS.list_all_brox_storages mdef-session s"), "");
  EXPECT_EQ(answer(servant_, "aaS.list_all_active_brox_storages"), "");
}
#endif

TEST(BroxServantConstructionTest, MissingBinDirFailsBeforeAnythingIsActivated) {
  if (const auto e = expectThrow<solvarium::StartupError>(
          [] { BROX::CBROXSolvarium servant(brox_test::servantOrb(), solvarium::Environment()); },
          "without BROXBINDIR")) {
    EXPECT_STREQ(e->what(), "BROXBINDIR environment variable is not set");
  }
  if (const auto e = expectThrow<solvarium::StartupError>(
          [] {
            BROX::CBROXSolvarium servant(brox_test::servantOrb(),
                                         solvarium::Environment({{"BROXBINDIR", ""}}));
          },
          "with an empty BROXBINDIR")) {
    EXPECT_STREQ(e->what(), "BROXBINDIR environment variable is empty");
  }
}

}  // namespace
