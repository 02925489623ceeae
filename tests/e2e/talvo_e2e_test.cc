// The Talvo kind end to end: the test plays the solver side through the
// ITalvoExceptionHolder of the key file and the client through ICoScripting.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "tests/support/fake_giop_server.h"
#include "tests/support/joined_threads.h"
#include "tests/support/talvo_e2e_fixture.h"

namespace solvarium_test {
namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;

std::string str(char* owned) {
  CORBA::String_var text = owned;
  return text.in();
}

// getCollaborativeSolverUnit of the generic unit, as data.
Outcome collaborativeUnit(ServiceClient& client) {
  return capture([&] {
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit =
        client.solverUnit()->getCollaborativeSolverUnit();
    return std::string();
  });
}

// An IOR text that encodes a nil reference.
std::string nilIor() { return str(testOrb()->object_to_string(CORBA::Object::_nil())); }

TEST_F(TalvoE2eTest, FreshServiceStateQuestionsAndExceptions) {
  startTalvo();
  AAS_CORBA::Talvo::ITalvoExceptionHolder_ptr h = holder();
  ASSERT_FALSE(CORBA::is_nil(h));
  EXPECT_TRUE(sessionManager().waitForBytes(keyText().size(), seconds(5)));
  EXPECT_EQ(sessionManager().received(), keyText());
  EXPECT_NE(service().stdoutText().find("\nInstant ICoSolverUnit Talvo key: \n" + keyText(kUnitFile)),
            std::string::npos);

  EXPECT_TRUE(h->isAasListenerVisited());
  EXPECT_EQ(h->getNrErrorExceptions(), 0);
  EXPECT_EQ(str(h->getVisited()), "");
  EXPECT_EQ(str(h->getStatus()), "");
  EXPECT_FALSE(h->isQuestionYesNo());
  EXPECT_EQ(str(h->getQuestionType()) + str(h->getQuestionPrompt()) +
                str(h->getQuestionDefaultAnswer()) + str(h->getQuestionMenu()) +
                str(h->getQuestionHelp()) + str(h->getQuestionMsg()),
            "");
  EXPECT_EQ(answer("aaS.get_release"), "");
  EXPECT_EQ(answer("aaS.get_current_iteration"), "0");
  EXPECT_EQ(answer("aaS_internal.get_talvo_exception_holder_ior"), keyText());
  EXPECT_EQ(str(h->getCoSolverUnitIor()), keyText(kUnitFile));
  EXPECT_EQ(str(talvo().solverUnit()->getSolverId()), "korlen-talvo");
  EXPECT_FALSE(h->_is_a("IDL:AAS_CORBA/BROXInstant/Solvers/ICoBROXUnit:1.0"));

  Outcome collaborative = collaborativeUnit(talvo());
  EXPECT_TRUE(isException(collaborative, "EUnknown",
                          {{"description", "Collaborative IOR not available"},
                           {"scope", "Talvo Instant aaS"}}));
  send({"broadcast::visited:collaborativecosolverunitior-set:" + keyText()});
  collaborative = collaborativeUnit(talvo());
  EXPECT_TRUE(isException(collaborative, "EUnknown",
                          {{"description", "Collaborative IOR is of wrong type"},
                           {"interfaceName", "ICoSolverUnit"},
                           {"operation", "getCollaborativeSolverUnit"}}));
  send({"broadcast::visited:collaborativecosolverunitior-set:" + nilIor()});
  collaborative = collaborativeUnit(talvo());
  EXPECT_TRUE(isException(collaborative, "EUnknown",
                          {{"description", "Collaborative IOR is corrupt"},
                           {"scope", "Talvo Instant aaS"}}));
  send({"broadcast::visited:collaborativecosolverunitior-set:" + keyText(kUnitFile)});
  KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var partner =
      talvo().solverUnit()->getCollaborativeSolverUnit();
  EXPECT_EQ(str(partner->getSolverId()), "korlen-talvo");

  // State flags and error messages.
  send({"broadcast::started:journaling", "broadcast::started:solving", "broadcast::ended:solving",
        "DelayedErrorMsg: disk low"});
  EXPECT_EQ(str(h->getStatus()), "error\njournaling\n");
  EXPECT_EQ(answer("aaS.get_status"), "error\njournaling\n");
  KORLEN_AAS_v1_0_0::Types::CoStrings_var names = talvo().scripting()->getStatus();
  ASSERT_EQ(names->length(), 2u);
  EXPECT_STREQ(names[1].in(), "journaling");
  send({"ErrorMsg: diverged", "broadcast::started:x", "broadcast::interrupted",
        "broadcast::interrupted:now"});
  EXPECT_EQ(str(h->getStatus()), "");
  EXPECT_EQ(h->getNrErrorExceptions(), 3);
  EXPECT_EQ(str(h->getErrorExceptionByIndex(1)), "ErrorMsg: diverged");
  EXPECT_EQ(str(h->getErrorExceptionByIndex(-1)), "");
  EXPECT_EQ(str(h->getErrorExceptionByIndex(3)), "");
  EXPECT_EQ(answer("aaS.get_list_active_errors"),
            "DelayedErrorMsg: disk low\nErrorMsg: diverged\nbroadcast::interrupted:now");

  // Parameters, release, dimensionality, precision and solver variables.
  EXPECT_TRUE(isException(talvo().tryExecute("aaS.get_current_time_step"), "EScriptGenericError",
                          {{"errorType", "1"}, {"command", "aaS.get_current_time_step"},
                           {"errorInfo", "Data not available"}, {"commandOutput", ""}}));
  send({"broadcast::visited:add-input-parameter:p1:x", "broadcast::visited:add-input-parameter:bad",
        "broadcast::visited:create-parameter-from-persisted-value:p2:1:2",
        "broadcast::visited:add-output-parameter:o1:y", "broadcast::release:(19 2 0)",
        "broadcast::(rp-3d?):#t", "broadcast::(rp-double?):#x",
        "broadcast::visited:rp-var-value-set:time-step:12",
        "broadcast::visited:rp-var-value-set:last-casefile-name:case.cas",
        "broadcast::visited:iteration-set:5", "broadcast::visited:paused-index-set:3",
        "broadcast::visited:aaslistener", "broadcast::visited:monitors:x"});
  EXPECT_EQ(answer("aaS.get_nr_input_parameters"), "2");
  EXPECT_EQ(answer("aaS.get_list_input_parameters"), "p1\np2\n");
  EXPECT_EQ(answer("aaS.get_list_output_parameters"), "o1\n");
  EXPECT_EQ(answer("aaS.get_release"), "KORLEN Talvo 19.2.0");
  EXPECT_EQ(answer("aaS.get_dimensionality"), "3d");
  EXPECT_EQ(answer("aaS.get_precision"), "unknown");
  EXPECT_EQ(answer("aaS.get_current_time_step"), "12");
  EXPECT_EQ(answer("aaS.get_last_casefile_name"), "case.cas");
  EXPECT_EQ(answer("aaS.get_current_iteration"), "5");
  EXPECT_EQ(answer("aaS.get_paused_index"), "3");
  EXPECT_EQ(str(h->getVisited()), "aaslistener\n");

  // The question protocol.
  h->setQuestionType("menu");
  h->setQuestionPrompt("Pick");
  h->setQuestionDefaultAnswer("1");
  h->setQuestionHelp("help");
  h->setQuestionMsg("msg");
  h->setQuestionYesNo(true);
  h->setQuestionMenu("1 go\n2 exit now");  // errors are held: the menu stays
  EXPECT_EQ(str(h->getQuestionMenu()), "1 go\n2 exit now");
  EXPECT_EQ(str(h->getQuestionPrompt()) + str(h->getQuestionMsg()), "Pickmsg");
  EXPECT_TRUE(h->isQuestionYesNo());
  h->resetExceptions();
  EXPECT_EQ(h->getNrErrorExceptions(), 0);
  EXPECT_EQ(str(h->getQuestionType()), "");
  EXPECT_FALSE(h->isQuestionYesNo());
  EXPECT_EQ(str(h->getVisited()), "aaslistener\n");
  h->setQuestionType("menu");
  h->setQuestionMenu("exit");
  EXPECT_EQ(str(h->getQuestionMenu()), "exit");
  h->setQuestionMenu("0 exit menu");
  EXPECT_EQ(str(h->getQuestionMenu()) + str(h->getQuestionType()), "");

  // Questions and errors reach ICoScripting clients as the generic twins,
  // and holders of the servant's own reference as the module's exceptions.
  EXPECT_TRUE(isException(talvo().tryExecute("aaS.set_monitor_double_format"), "EReadUnquotedString",
                          {{"questionType", "2"},
                           {"questionPrompt", "Please provide the floating point formatting string"},
                           {"defaultAnswer", "25.17le"}, {"questionHelp", ""},
                           {"questionMessage", ""}}));
  EXPECT_TRUE(isException(talvo().tryExecute("aaS.save_monitors_with_persisted_data"),
                          "EReadUnquotedString",
                          {{"questionPrompt", "JSON persisted monitors filename"},
                           {"defaultAnswer", "monitor.json"}}));
  EXPECT_TRUE(isException(
      talvo().tryExecute("aaS.list_report_files_with_persisted_data start-time-step"),
      "EReadQGenericQuestion",
      {{"questionType", "3"}, {"questionPromptWithDefaultAnswer", "Start Time Step [0]"},
       {"rawDefaultAnswer", "0"}, {"questionHelp", ""},
       {"questionMessage", "Starting time step not provided."}}));
  EXPECT_TRUE(isException(talvo().tryExecute("aaS.list_monitors_with_persisted_data start-flow-time x"),
                          "EScriptGenericError",
                          {{"errorType", "1"},
                           {"command", "Retrieving flow time filtered instant monitor data"},
                           {"errorInfo", "Please provide a positive number for start-flow-time."},
                           {"commandOutput", ""}}));
  Outcome direct = capture([&] { return str(h->doInstantCommandToString("aaS.bogus 1")); });
  EXPECT_TRUE(isException(direct, "AAS_CORBA::EInstantTalvoGenericError",
                          {{"errorType", "1"}, {"command", "aaS.bogus 1"},
                           {"errorInfo", "Unknown instant aaS command"}, {"commandOutput", ""}}));
  EXPECT_EQ(str(h->doInstantCommandToString("aaS.implements.list_report_plots")), "True");

  // A final save that fails is reported with its cause and the service ends
  // with 4.
  ASSERT_EQ(::mkdir(workFile("monitor.json").c_str(), 0755), 0);
  EXPECT_TRUE(h->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(4));
  EXPECT_NE(service().stdoutText().find("Shutting down...\n"), std::string::npos);
  EXPECT_EQ(readFile(workFile("instant_aas.error")),
            "\n\nKORLEN_AAS_v1_0_0::Exceptions::EScriptGenericError caught executing solver will"
            "\n\nerrorType: <1>\ncommand: <aaS.save_monitors_with_persisted_data monitor.json>\n"
            "errorInfo: <Cannot open output file name.>\ncommandOutput: <>\n");
}

// One partner never answers, another answers every request with a
// LOCATION_FORWARD to itself: each call ends within the call time-out.
TEST_F(TalvoE2eTest, ACollaborativePartnerThatNeverAnswersHoldsUpNobody) {
  startTalvo();
  FakeGiopServer silent;
  FakeGiopServer forwarding;
  FakeGiopServer naming;  // a name service whose resolve answers late, with `silent`
  const IiopAddress unit = iorAddress(str(testOrb()->object_to_string(talvo().solverUnit())));
  const auto reference = [](const FakeGiopServer& server) {
    const std::string where =
        "corbaloc:iiop:1.2@127.0.0.1:" + std::to_string(server.port()) + "/partner";
    CORBA::Object_var far = testOrb()->string_to_object(where.c_str());
    return str(testOrb()->object_to_string(far.in()));
  };
  naming.setAnswer(reference(silent), 7000);
  for (FakeGiopServer* partner : {&silent, &forwarding, &naming}) {
    std::string ior = reference(*partner);
    if (partner == &forwarding) forwarding.setForward(ior);
    if (partner == &naming) {  // two remote calls (resolve, _is_a) under one deadline
      ior = "corbaname:iiop:1.2@127.0.0.1:" + std::to_string(naming.port()) + "#partner";
    }
    send({"broadcast::visited:collaborativecosolverunitior-set:" + ior});

    const auto begin = std::chrono::steady_clock::now();
    std::atomic<bool> ended{false};
    Outcome collaborative;
    JoinedThreads caller;
    caller.start([&] {
      collaborative = collaborativeUnit(talvo());
      ended = true;
    });
    for (int i = 0; partner == &silent && i < 20; ++i) caller.start([&] {  // > its 5 connections
      const int fd = connectTo(unit.host, unit.port);
      sendThrottled(fd, giopRequest(1, unit.objectKey, "getCollaborativeSolverUnit", "", 0), 0);
      EXPECT_EQ(readReplyStatus(fd, 30000), 2);  // a system exception
      ::close(fd);
    });
    std::this_thread::sleep_for(milliseconds(500));
    EXPECT_TRUE(ended || partner != &forwarding);
    KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var other = talvo().solverUnit();
    omniORB::setClientCallTimeout(other.in(), 3000);
    const Outcome id = capture([&] { return str(other->getSolverId()); });
    EXPECT_TRUE(id.ok && id.answer == "korlen-talvo") << id;
    caller.join();
    EXPECT_LT(std::chrono::steady_clock::now() - begin, seconds(12));
    EXPECT_EQ(collaborative.exception, "CORBA::TIMEOUT") << collaborative;
  }
  EXPECT_LE(forwarding.requests(), 10);
}

TEST_F(TalvoE2eTest, JsonListsTraceFilesAndMonitorJson) {
  startTalvo();
  writeFile(workFile("rf0.out"),
            "\"rf0\"\nHistory of \"Area\"\n(\"Iteration\" \"report-def-0\")\n1 0.5\n2 0.25\n3 0.125\n");
  send({"broadcast::visited:cx-changed:zone-list:(3 4):(wall)",
        "broadcast::visited:monitor-set-changed:(((name . rf0) (file-name . rf0.out) (old-props x)))",
        "broadcast::visited:plot-set-changed:(((name . plot-0) (plot-window . 2)))",
        "broadcast::visited:report-defn-changed:(((name . rd0) (report-definition surface-areaavg "
        "(field . pressure) (average-over . 1) (zone-list . 3 4))))",
        "broadcast::visited:rp-var-value-set:residuals/settings:((a #t #f #t 1e-3 #f 1e-2))",
        "broadcast::visited:monitors:<Residual iteration 1 2 /Residual>\n<Residual a 0.5 0 /Residual>",
        "broadcast::visited:iteration-set:2", "broadcast::echo:line %s\n", "broadcast::echo:two",
        "broadcast::visited:debug:dbg"});

  const std::string persisted =
      "\t\t{\n\t\t\t\"name\":\"rf0\",\n\t\t\t\"title\":\"History of \\\"Area\\\"\",\n"
      "\t\t\t\"currentIterationNo\":2,\n\t\t\t\"header\":[\"Iteration\",\"report-def-0\"]\n"
      "\t\t\t,\"Iteration\":[1,2]\n\t\t\t,\"report-def-0\":[0.5,0.25]\n\t\t}\n";
  const std::string files = "\n[\n\t{\n\t\t\"monitorType\":\"R17ReportFile\",\n\t\t\"name\":\"rf0\" ,\n\t\t"
                            "\"fileName\":\"rf0.out\",\n\t\t\"currentIterationNo\":2";
  EXPECT_EQ(json("aaS.list_report_files"), files + " \t\t\n\t\t\t}]");
  EXPECT_EQ(json("aaS.list_report_files_with_persisted_data start-iteration 0"),
            files + ",\n\t\t\"persistedData\":\n" + persisted + "\n \t\t\n\t\t\t}]");
  EXPECT_EQ(json("aaS.list_report_plots"),
            "\n[\n\t{\n\t\t\"name\":\"plot-0\" ,\n\t\t\"plotWindow\":2\t}]");

  // Report files named outside the working directory, in a sibling folder
  // whose name begins with its name included, add no data.
  const std::string root = workDir().substr(0, workDir().rfind('/'));
  for (const std::string& folder : {root + "/outside", workDir() + "2"}) {
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    writeFile(folder + "/rf.out", readFile(workFile("rf0.out")));
  }
  send({"broadcast::visited:monitor-set-changed:(((name . in) (file-name . rf0.out)) "
        "((name . o) (file-name . ../outside/rf.out)) ((name . s) (file-name . ../work2/rf.out)) "
        "((name . a) (file-name . " + workDir() + "2/rf.out)))"});
  const std::string outside = json("aaS.list_report_files_with_persisted_data start-iteration 0");
  EXPECT_NE(outside.find("\"fileName\":\"" + workDir() + "2/rf.out\""), std::string::npos)
      << outside;
  EXPECT_EQ(outside.find("persistedData"), outside.rfind("persistedData")) << outside;
  EXPECT_NE(outside.find(persisted), std::string::npos) << outside;
  EXPECT_EQ(json("aaS.list_report_definitions"),
            "\n[\n\t{\n\t\t\"monitorType\":\"R17ReportDefinition\",\n\t\t\"name\":\"rd0\" ,\n\t\t"
            "\"reportDefinition\":\n\t\t{\n\t\t\t\"averageOver\":1\n\t\t\t,\"field\":\"pressure\"\n"
            "\t\t\t,\"type\":\"surface-areaavg\"\n\t\t\t,\"zoneList\":[ 3 , 4 ]\n"
            "\t\t\t,\"zoneNames\":[ \"wall\" , \"\" ]\n\t\t}\n\t}]");
  EXPECT_EQ(json("aaS.list_monitors"),
            "[\n\t{\n\t\t\"monitorType\":\t\"ResidualMonitor\",\n\t\t\"name\":\t\"convergence-residuals\",\n"
            "\t\t\"settings\":\n\t\t{\n\t\t\t\"a\":\n\t\t\t{\n\t\t\t\t\"monitorActive\":true\n"
            "\t\t\t\t,\"checkConvergence\":true\n\t\t\t\t,\"absoluteCriteria\":1e-3\n"
            "\t\t\t\t,\"relativeCriteria\":1e-2\n\t\t\t}\n\t\t},\n"
            "\t\t\"residualNames\":\t[\"a\"],\n\t\t\"xAxisUnit\":\t\"Iteration\"\n\t}\n]\n");
  char row[64];
  std::snprintf(row, sizeof row, "%25d", 2);
  const std::string residuals = json("aaS.list_monitors_with_persisted_data residuals a start-iteration 2");
  EXPECT_NE(residuals.find("\t\t\t,\"Iteration\":\n\t\t\t[\n\t\t\t\t" + std::string(row) +
                           "\n\t\t\t]\n\t\t\t,\"a\":\n\t\t\t[\n\t\t\t\tnull\n\t\t\t]\n"),
            std::string::npos)
      << residuals;
  EXPECT_EQ(readFile(workFile("instant_transcript.txt")), "line %s\ntwo");
  EXPECT_EQ(readFile(workFile("broadcast.visited.debug.txt")),
            "\nMessage:\nbroadcast::visited:debug:dbg\nEndMessage\n");

  // Hostile settings texts still answer JSON.
  const std::string deep(100000, '(');
  for (const std::string& text :
       {deep, std::string("(((name . a\"b\\c) (file-name x\ny) (title \"t\\\"))) junk ("),
        std::string(")))((( (( x"), std::string("(((old-props) (name . ")}) {
    send({"broadcast::visited:monitor-set-changed:" + text, "broadcast::visited:plot-set-changed:" + text,
          "broadcast::visited:report-defn-changed:" + text});
    json("aaS.list_report_files_with_persisted_data");
    json("aaS.list_report_plots");
    json("aaS.list_report_definitions");
  }

  // monitor.json: on command, by the auto-save period, and at shutdown.
  EXPECT_EQ(answer("aaS.save_monitors_with_persisted_data ,"), "JSON monitors saved in 'monitor.json'.\n");
  std::string error;
  EXPECT_TRUE(isValidJson(readFile(workFile("monitor.json")), &error)) << error;
  EXPECT_NE(readFile(workFile("monitor.json")).find("convergence-residuals"), std::string::npos);
  ASSERT_EQ(::unlink(workFile("monitor.json").c_str()), 0);
  EXPECT_EQ(answer("aaS.set_auto_save_period_json_monitors 2"), "Auto-Save period set to 2 minutes.");
  EXPECT_EQ(answer("aaS_internal.tic_one_minute"), "");
  EXPECT_FALSE(fileExists(workFile("monitor.json")));
  EXPECT_EQ(answer("aaS_internal.tic_one_minute"), "");
  EXPECT_TRUE(isValidJson(readFile(workFile("monitor.json")), &error)) << error;
  ASSERT_EQ(::unlink(workFile("monitor.json").c_str()), 0);

  EXPECT_TRUE(holder()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
  const std::string finalSave = readFile(workFile("monitor.json"));
  EXPECT_TRUE(isValidJson(finalSave, &error)) << error << finalSave;
  EXPECT_NE(finalSave.find("\"R17ReportDefinition\""), std::string::npos);
  EXPECT_FALSE(fileExists(workFile("instant_aas.error")));
}

TEST_F(TalvoE2eTest, SigtermEndsWithTheFinalSave) {
  startTalvo();
  send({"broadcast::visited:rp-var-value-set:residuals/settings:((a #t #f #t 1e-3 #f 1e-2))",
        "broadcast::visited:monitors:<Residual iteration 1 2 /Residual>\n<Residual a 0.5 0 /Residual>"});
  EXPECT_EQ(answer("aaS.save_monitors_with_persisted_data expected.json"),
            "JSON monitors saved in 'expected.json'.\n");
  const std::string expected = readFile(workFile("expected.json"));
  ASSERT_NE(expected.find("convergence-residuals"), std::string::npos) << expected;
  ASSERT_EQ(::kill(service().pid(), SIGTERM), 0);
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
  EXPECT_EQ(readFile(workFile("monitor.json")), expected);
}

TEST_F(TalvoE2eTest, QuotesAreTextAndEmptyListsSaveValidJson) {
  startTalvo();
  auto errorInfo = [&](const std::string& command, const std::string& info) {
    return isException(talvo().tryExecute(command), "EScriptGenericError",
                       {{"command", command}, {"errorInfo", info}});
  };
  // Commands are split at blanks only: a double quote is part of its token.
  EXPECT_EQ(answer("aaS.get_nr_active_errors \""), "0");
  EXPECT_TRUE(errorInfo("aaS.foo a\"b", "Unknown instant aaS command"));
  EXPECT_TRUE(errorInfo("aaS.set_auto_save_period_json_monitors \"5 6\"", "Invalid command[6\"]"));
  const std::vector<std::string> before = listDirectory(workDir());
  EXPECT_TRUE(errorInfo("aaS.save_monitors_with_persisted_data \"my file.json\"",
                        "Invalid command[file.json\"]"));
  EXPECT_EQ(listDirectory(workDir()), before);

  // Settings lists that end in CR LF are empty lists in "monitor.json" too.
  send({"broadcast::visited:monitor-set-changed:()\r\n",
        "broadcast::visited:report-defn-changed:()\r\n"});
  EXPECT_EQ(answer("aaS.save_monitors_with_persisted_data ,"), "JSON monitors saved in 'monitor.json'.\n");
  const std::string saved = readFile(workFile("monitor.json"));
  EXPECT_TRUE(isValidJson(saved)) << saved;
}

TEST_F(TalvoE2eTest, TwoClientsForThirtySeconds) {
  startTalvo();
  writeFile(workFile("rf.out"), "n\nt\n(\"Iteration\" \"v\")\n1 1\n2 2\n");
  std::atomic<bool> stop{false};
  std::atomic<int> malformed{0}, failures{0}, answers{0};
  auto solverSide = [&] {
    CORBA::Object_var object = testOrb()->string_to_object(keyText().c_str());
    AAS_CORBA::Talvo::ITalvoExceptionHolder_var h = AAS_CORBA::Talvo::ITalvoExceptionHolder::_narrow(object);
    const std::vector<std::string> messages = {
        "broadcast::visited:monitor-set-changed:(((name . rf) (file-name . rf.out)))",
        "broadcast::visited:monitor-set-changed:((((((",
        "broadcast::visited:plot-set-changed:(((name . p) (plot-window . 2)) ((title x\"y)))",
        "broadcast::visited:report-defn-changed:(((name . d) (report-definition t (zone-list 1))))",
        "broadcast::visited:rp-var-value-set:residuals/settings:((a #t) (b #f))",
        "broadcast::visited:monitors:incremental:<Residual iteration 1\n<Residual a 0.5\n<Residual b 1e9",
        "broadcast::visited:iteration-set:2", "broadcast::started:s", "ErrorMsg: e",
        "broadcast::visited:iteration-set:0"};
    for (std::size_t i = 0; !stop; ++i) {
      try {
        h->addGenericErrorExceptionMessage(messages[i % messages.size()].c_str());
      } catch (const CORBA::Exception&) {
        ++failures;
      }
    }
  };
  auto client = [&] {
    ServiceClient c(workDir(), kKeyFile, kUnitFile);
    KORLEN_AAS_v1_0_0::Solvers::ICoScripting_var scripting = c.scripting();
    const char* commands[] = {"aaS.list_monitors_with_persisted_data", "aaS.list_report_files_with_persisted_data",
                              "aaS.list_report_plots", "aaS.list_report_definitions", "aaS.list_monitors"};
    for (std::size_t i = 0; !stop; ++i) {
      try {
        CORBA::String_var text = scripting->executeToString(commands[i % 5]);
        if (!isValidJson(text.in())) ++malformed;
        ++answers;
      } catch (const CORBA::Exception&) {
        ++failures;
      }
    }
  };
  JoinedThreads threads([&] { stop = true; });
  threads.start(solverSide);
  threads.start(client);
  std::this_thread::sleep_for(seconds(30));
  threads.join();
  EXPECT_EQ(malformed.load(), 0);
  EXPECT_EQ(failures.load(), 0);
  EXPECT_GT(answers.load(), 100);
  EXPECT_TRUE(service().running());
  EXPECT_TRUE(holder()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
}

TEST_F(TalvoE2eTest, WatcherShutsDownWhenTheSolverHasGone) {
  ServiceProcess::Options options = talvoOptions();
  options.env["KORLEN_PELLIX_PID"] = solver().pidText();
  options.env["TALVO_AAS_KEY_FILE"] = "talvo-id.txt";
  startTalvo(options, "instant_talvo-id.txt");
  EXPECT_FALSE(fileExists(workFile("talvo-id.txt")));
  EXPECT_FALSE(fileExists(workFile("aaS_TalvoId.txt")));
  EXPECT_EQ(answer("aaS.set_auto_save_period_json_monitors 1"), "Auto-Save period set to 1 minutes.");
  solver().kill();
  // The first watcher cycle (60 s) ticks, finds the solver gone and calls shutdown.
  EXPECT_EQ(service().waitForExit(seconds(120)), std::optional<int>(0)) << service().stdoutText();
  std::string error;
  EXPECT_TRUE(isValidJson(readFile(workFile("monitor.json")), &error)) << error;
  EXPECT_NE(service().stdoutText().find("Shutting down...\n"), std::string::npos);
}

TEST_F(TalvoE2eTest, WatcherReadsTheLeadingProcessIdOfItsVariable) {
  ServiceProcess::Options options = talvoOptions();
  options.env["KORLEN_PELLIX_PID"] = solver().pidText() + " ";
  startTalvo(options);
  EXPECT_EQ(answer("aaS.set_auto_save_period_json_monitors 1"), "Auto-Save period set to 1 minutes.");
  // The first watcher cycle (60 s) ticks, which saves, and finds the solver alive.
  EXPECT_TRUE(waitUntil([&] { return fileExists(workFile("monitor.json")); }, seconds(90)));
  std::this_thread::sleep_for(seconds(5));
  EXPECT_TRUE(service().running()) << service().stdoutText();
  EXPECT_TRUE(holder()->shutdown());
  EXPECT_EQ(service().waitForExit(seconds(20)), std::optional<int>(0));
}

}  // namespace
}  // namespace solvarium_test
