// The generic objects of a Brox service over IIOP: solver unit, scripting
// (commands, translation of exceptions, state flags) and the refused
// operations.
#include <set>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

using KORLEN_AAS_v1_0_0::Types::CoStrings_var;

class ScriptingTest : public ServiceTest {
 protected:
  void SetUp() override {
    ServiceProcess::Options o = broxOptions();
    o.env["SOLVARIUM_TEST_VALUE"] = "hello world";
    o.env["SOLVARIUM_TEST_EMPTY"] = "";
    start(o);
    ASSERT_TRUE(service().waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
        << service().stdoutText();
  }

  std::vector<std::string> status() {
    CoStrings_var names = client().scripting()->getStatus();
    std::vector<std::string> out;
    for (CORBA::ULong i = 0; i < names->length(); ++i) out.push_back(names[i].in());
    return out;
  }
};

const std::vector<std::string> kSupported = {
    "aaS.getenv", "aaS.get_status", "aaS.get_storage_status", "aaS.terminate_solver",
    "aaS.terminate", "aaS.list_brox_directories", "aaS.list_brox_def_files",
    "aaS.list_brox_res_files", "aaS.list_all_brox_storages", "aaS.list_all_active_brox_storages",
    "aaS.list_brox_out_files", "aaS.set", "aaS.get", "aaS.list_report_plots",
    "aaS.list_saved_report_plots", "aaS.list_report_plots_with_persisted_data",
    "aaS.amend_report_plots_will", "aaS.list_saved_report_plots_with_persisted_data",
    "aaS.list_monitors", "aaS.list_monitors_with_persisted_data", "aaS.list_monitors_last_values",
    "aaS.list_saved_monitors_last_values", "aaS.list_saved_monitors",
    "aaS.list_saved_monitors_with_persisted_data", "aaS.set_auto_save_period_json_monitors",
    "aaS.retrieve_will_metadata", "aaS.save_report_plots_with_persisted_data", "aaS.retrieve_will",
    "aaS.list_all_variable_names", "aaS.list_active_variable_names",
    "aaS.list_saved_variable_names", "aaS.suggest"};

TEST_F(ScriptingTest, SolverUnitAnswersAndRefusesWithExactTexts) {
  auto unit = client().solverUnit();
  CORBA::String_var id = unit->getSolverId();
  CORBA::String_var access = unit->getAcessType();
  EXPECT_STREQ(id.in(), "korlen-brox");
  EXPECT_STREQ(access.in(), "instant");

  // The instant unit is this object; the scripting object is always the same one.
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var instant = unit->getInstantSolverUnit();
  EXPECT_TRUE(instant->_is_equivalent(unit.in()));
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var s1 = unit->getCommandScripting();
  KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var s2 = unit->getCommandScripting();
  EXPECT_TRUE(s1->_is_equivalent(s2.in()));

  auto refused = [&](const std::function<void()>& call) {
    return capture([&] {
      call();
      return std::string();
    });
  };
  EXPECT_TRUE(isException(refused([&] { unit->getReportScripting(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getReportScripting"},
                           {"errorInfo", "Method is not supported in current  Instant aaS version."}}));
  EXPECT_TRUE(isException(refused([&] { unit->getAdvancedParameters(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getAdvancedParameters"},
                           {"errorInfo", "Method is not supported in current Instant aaS version."}}));
  EXPECT_TRUE(isException(refused([&] { unit->getPublicParameters("any"); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getPublicParameters"},
                           {"errorInfo", "Method is not supported in current Instant aaS version."}}));
  EXPECT_TRUE(isException(refused([&] { unit->getCollaborativeControls(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoSolverUnit::getCollaborativeControls"},
                           {"errorInfo", "Method is not supported in Instant aaS version."}}));
  EXPECT_TRUE(isException(refused([&] { unit->getCollaborativeSolverUnit(); }), "EUnknown",
                          {{"code", "1"},
                           {"description", "Collaborative aaS not available"},
                           {"scope", " Instant aaS"},
                           {"interfaceName", "ICoSolverUnit"},
                           {"operation", "getCollaborativeSolverUnit"},
                           {"moreInfo", ""}}));
}

TEST_F(ScriptingTest, ScriptingAndFileSystemRefuseWithExactTexts) {
  auto scripting = client().scripting();
  CORBA::String_var language = scripting->getScriptingLanguageId();
  CORBA::String_var access = scripting->getAcessType();
  EXPECT_STREQ(language.in(), "brox_instant_aas");
  EXPECT_STREQ(access.in(), "instant");

  auto refused = [&](const std::function<void()>& call) {
    return capture([&] {
      call();
      return std::string();
    });
  };
  EXPECT_TRUE(isException(
      refused([&] { scripting->execute("aaS.get_status"); }), "ENotSupported",
      {{"errorType", "1"},
       {"command", "ICoScripting::execute"},
       {"errorInfo",
        "Method is not supported in current  Instant aaS version. Use executeToString instead.\n"}}));
  EXPECT_TRUE(isException(refused([&] { CORBA::String_var r = scripting->executeDelayed("x"); }),
                          "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoScripting::executeDelayed"},
                           {"errorInfo", "Method is not supported in current Instant aaS version"}}));
  EXPECT_TRUE(isException(
      refused([&] { CORBA::String_var r = scripting->retrieveDelayedOutput("1"); }), "ENotSupported",
      {{"errorType", "1"},
       {"command", "ICoScripting::retrieveDelayedOutput"},
       {"errorInfo", "Method is not supported in current Instant aaS version"}}));

  auto fs = client().fileSystem();
  const std::string grend = "Method is not supported in current GREND version";
  EXPECT_TRUE(isException(refused([&] { CoStrings_var f = fs->getSolverFiles(); }), "ENotSupported",
                          {{"errorType", "1"},
                           {"command", "ICoScripting::getSolverFiles"},
                           {"errorInfo", grend}}));
  EXPECT_TRUE(isException(refused([&] { fs->addSolverFile("a.txt"); }), "ENotSupported",
                          {{"command", "ICoScripting::addSolverFile"}, {"errorInfo", grend}}));
  EXPECT_TRUE(isException(refused([&] { fs->removeSolverFile(""); }), "ENotSupported",
                          {{"command", "ICoScripting::removeSolverFile"}, {"errorInfo", grend}}));
}

TEST_F(ScriptingTest, SuggestAndImplementsFollowTheSupportedSet) {
  std::set<std::string> sorted(kSupported.begin(), kSupported.end());
  ASSERT_EQ(sorted.size(), 32u);
  std::string expected;
  for (const std::string& name : sorted) expected += name + "\n";
  EXPECT_EQ(client().execute("aaS.suggest"), expected);
  EXPECT_EQ(expected.compare(0, 28, "aaS.amend_report_plots_will\n"), 0);

  for (const std::string& name : kSupported)
    EXPECT_EQ(client().execute("aaS.implements." + name.substr(4)), "True") << name;
  for (const std::string& other : std::vector<std::string>{"aaS.implements.tic_one_minute", "aaS.implements.nope",
                                   "aaS.implements.", "aaS.implements.get_status_x"})
    EXPECT_EQ(client().execute(other), "False") << other;

  const std::string noParams = "Error: 'aaS.implements.' commands do not have parameters.\n";
  for (const std::string& command : std::vector<std::string>{"aaS.implements.getenv PATH", "aaS.implements.nope x"})
    EXPECT_TRUE(isException(client().tryExecute(command), "EScriptGenericError",
                            {{"errorType", "1"},
                             {"command", command},
                             {"errorInfo", noParams},
                             {"commandOutput", ""}}));
  EXPECT_TRUE(isException(
      client().tryExecute("aaS.suggest all"), "EScriptGenericError",
      {{"command", "aaS.suggest all"},
       {"errorInfo", "Error: 'aaS_suggest.' commands do not have parameters.\n"}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.nope"), "EScriptGenericError",
                          {{"errorType", "1"},
                           {"command", "aaS.nope"},
                           {"errorInfo", "Unknown instant aaS command"},
                           {"commandOutput", ""}}));
}

TEST_F(ScriptingTest, GetenvAnswersValuesAndTranslatesItsFailures) {
  EXPECT_EQ(client().execute("aaS.getenv SOLVARIUM_TEST_VALUE"), "hello world");
  EXPECT_EQ(client().execute("  aaS.getenv\tSOLVARIUM_TEST_VALUE\r\n"), "hello world");

  auto missing = [](const std::string& name, const std::string& code) {
    return std::map<std::string, std::string>{
        {"code", code},
        {"description", "Environment variable does not exist!"},
        {"scope", "BROX Instant aaS"},
        {"interfaceName", "ICoBROXUnit"},
        {"operation", "executeCommandToString('aaS.get_env')"},
        {"moreInfo", name}};
  };
  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv SOLVARIUM_NO_SUCH_VARIABLE"), "EUnknown",
                          missing("SOLVARIUM_NO_SUCH_VARIABLE", "1")));
  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv SOLVARIUM_TEST_EMPTY"), "EUnknown",
                          missing("SOLVARIUM_TEST_EMPTY", "2")));
  // The quotes belong to the name.
  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv \"SOLVARIUM_TEST_VALUE\""), "EUnknown",
                          missing("\"SOLVARIUM_TEST_VALUE\"", "1")));
  // A quoted argument keeps its escaped quote and backslash: six characters.
  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv \"a\\\"b\""), "EUnknown",
                          missing("\"a\\\"b\"", "1")));

  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv"), "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "Please provide name of environment variable"},
                           {"defaultAnswer", ""},
                           {"questionHelp", ""},
                           {"questionMessage", ""}}));
  EXPECT_TRUE(isException(client().tryExecute("aaS.getenv A B"), "EScriptGenericError",
                          {{"errorType", "1"},
                           {"command", "aaS.getenv A B"},
                           {"errorInfo", "Invalid command[B]"},
                           {"commandOutput", ""}}));
}

TEST_F(ScriptingTest, TokeniserErrorsCarryTheirPositions) {
  struct Case {
    std::string command;
    std::string description;
    int position;
  };
  const std::vector<Case> cases = {
      {"aaS.getenv a\"b", "Unexpected double quote in argument", 1},
      {"aaS.getenv x y\"z", "Unexpected double quote in argument", 2},
      {"aaS.getenv \"ab\"c", "Unexpected double quote in argument", 1},
      {"aaS.getenv \"\"", "Invalid double quoted argument", 1},
      {"aaS.getenv \"abc", "Missing double quote in argument", 1},
      {"aaS.getenv x \"a b", "Missing double quote in argument", 2},
      {"\"aaS.getenv", "Missing double quote in argument", 0},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(isException(client().tryExecute(c.command), "EInvalidArgument",
                            {{"code", "1"},
                             {"description", c.description},
                             {"scope", "Instant BROX aaS"},
                             {"interfaceName", "ICoScriptingUnit"},
                             {"operation", "executeCommandToString"},
                             {"moreInfo", "Command:\n" + c.command},
                             {"position", std::to_string(c.position)}}))
        << c.command;
  }
  for (const std::string& empty : std::vector<std::string>{std::string(""), std::string(" \t\r\n ")})
    EXPECT_TRUE(isException(client().tryExecute(empty), "EUnknown",
                            {{"code", "1"},
                             {"description", "Empty instant aaS command"},
                             {"scope", ""},
                             {"interfaceName", ""},
                             {"operation", ""},
                             {"moreInfo", ""}}));
}

TEST_F(ScriptingTest, ClientsOfScriptingNeverMeetSystemExceptions) {
  // Every failing command reaches the scripting client as a generic exception.
  for (const std::string& command : std::vector<std::string>{"aaS.nope", "aaS.getenv", "aaS.getenv NO_SUCH_VARIABLE_X", "aaS.getenv \"", "",
        "aaS.terminate_solver", "aaS.terminate_solver no_such_dir", "aaS.terminate_solver a b",
        "aaS.terminate x", "aaS.suggest x", "aaS_internal.nope", "aaS.implements.x y"}) {
    Outcome o = client().tryExecute(command);
    EXPECT_FALSE(o.ok) << command;
    EXPECT_EQ(o.repositoryId.find("IDL:KORLEN_AAS_v1_0_0/Exceptions/E"), 0u)
        << command << ": " << o;
  }
  // On the solver side's road in, a script error is carried as the declared
  // EKorlenUnknown with its text, and a declared exception keeps its type.
  EXPECT_TRUE(isException(client().tryBroxCommand("aaS.nope"), "BROXInstant::EKorlenUnknown",
                          {{"code", "1"}, {"description", "Unknown instant aaS command"},
                           {"moreInfo", "Command:\naaS.nope"}}));
  EXPECT_TRUE(isException(client().tryBroxCommand(""), "BROXInstant::EKorlenUnknown",
                          {{"description", "Empty instant aaS command"}}));
  EXPECT_TRUE(isException(client().tryBroxCommand("aaS.getenv \"\""),
                          "BROXInstant::EKorlenInvalidArgument",
                          {{"description", "Invalid double quoted argument"}, {"position", "1"}}));
  // The service survived all of it.
  EXPECT_EQ(client().execute("aaS.implements.suggest"), "True");
}

TEST_F(ScriptingTest, InternalCommands) {
  std::string key = readFile(workFile("aaS_BROXSolvarium.txt"));
  CORBA::Object_var published = testOrb()->string_to_object(key.c_str());
  for (const std::string& name : std::vector<std::string>{"aaS_internal.get_brox_exception_holder_ior",
                                  "aaS_internal.get_grend_exception_holder_ior",
                                  "aaS_internal.get_talvo_exception_holder_ior"}) {
    std::string ior = client().execute(name);
    EXPECT_EQ(iorTypeId(ior), "IDL:AAS_CORBA/BROXInstant/Solvers/ICoBROXUnit:1.0") << name;
    CORBA::Object_var answered = testOrb()->string_to_object(ior.c_str());
    EXPECT_TRUE(answered->_is_equivalent(published.in())) << name;
  }
  EXPECT_EQ(client().execute("aaS_internal.tic_one_minute"), "");
  for (const std::string& bad : std::vector<std::string>{"aaS_internal.tic_one_minute ", "aaS_internal.",
                                 "aaS_internal.get_brox_exception_holder_ior x"})
    EXPECT_TRUE(isException(client().tryExecute(bad), "EScriptGenericError",
                            {{"errorType", "1"},
                             {"command", bad},
                             {"errorInfo", "Unsupported instant aaS command"},
                             {"commandOutput", ""}}))
        << bad;
  // Without the full stop the text goes to the interpreter.
  EXPECT_TRUE(isException(client().tryExecute("aaS_internalx"), "EScriptGenericError",
                          {{"errorInfo", "Unknown instant aaS command"}}));
}

TEST_F(ScriptingTest, BroadcastsAndLivenessSetTheStateFlags) {
  EXPECT_TRUE(status().empty());  // nothing on before the first command
  EXPECT_EQ(client().execute("aaS.get_status"), "solver-alive\n");
  EXPECT_EQ(status(), std::vector<std::string>{"solver-alive"});

  client().broadcast("started:prejournaling");
  client().broadcast("started:journaling");
  client().broadcast("started:solving:phase:2");
  EXPECT_EQ(client().execute("aaS.get_status"), "journaling\nsolver-alive\nsolving:phase:2\n");

  client().broadcast("started:prejournaling");
  client().broadcast("started:journalingX");  // not "journaling": prejournaling stays
  client().broadcast("ended:solving:phase:2");
  client().broadcast("ended:never-started");
  client().broadcast("visited:solving:phase:2");
  client().broadcast("resoluted:journaling");
  client().broadcast("something:else");
  EXPECT_EQ(client().execute(" \taaS.get_status extra words\n"),
            "journaling\njournalingX\nprejournaling\nsolver-alive\n");
  EXPECT_EQ(status(), (std::vector<std::string>{"journaling", "journalingX", "prejournaling",
                                                "solver-alive"}));

  client().broadcast("started:");  // the empty name sorts first
  EXPECT_EQ(client().execute("aaS.get_status"),
            "\njournaling\njournalingX\nprejournaling\nsolver-alive\n");

  // The solver process has gone: the next command notices it.
  solver().kill();
  EXPECT_EQ(client().execute("aaS.get_status"),
            "\njournaling\njournalingX\nprejournaling\nsolver-shutdown\n");
  EXPECT_EQ(status().back(), "solver-shutdown");
}

}  // namespace
}  // namespace solvarium_test
