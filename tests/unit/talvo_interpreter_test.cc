#include "solvers/talvo/talvo_interpreter.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>

#include "AAS_CORBA.hh"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/json_check.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"
#include "tests/unit/talvo_test_util.h"

namespace {

using solvarium_test::expectThrow;

class TalvoInterpreterTest : public ::testing::Test {
 protected:
  TalvoInterpreterTest() : cwd_(dir_.path()) {}

  std::string run(const std::string& command) {
    return TALVO::interpretTalvoCommand(command, &talvo_.state, talvo_.flags);
  }
  void send(std::initializer_list<std::string> messages) { talvo_.send(messages); }

  // errorInfo of the error `command` raises ("" and a failure otherwise).
  std::string error(const std::string& command) {
    const auto e =
        expectThrow<AAS_CORBA::EInstantTalvoGenericError>([&] { run(command); }, command);
    if (!e) return "";
    EXPECT_EQ(e->errorType, 1);
    EXPECT_STREQ(e->commandOutput.in(), "");
    EXPECT_STREQ(e->command.in(), command.c_str());
    return e->errorInfo.in();
  }
  // "prompt|default" of the unquoted-string question `command` raises.
  std::string question(const std::string& command) {
    const auto e =
        expectThrow<AAS_CORBA::EInstantReadUnquotedString>([&] { run(command); }, command);
    if (!e) return "";
    EXPECT_EQ(e->questionType, 2);
    EXPECT_STREQ(e->questionHelp.in(), "");
    EXPECT_STREQ(e->questionMessage.in(), "");
    return std::string(e->questionPrompt.in()) + "|" + e->defaultAnswer.in();
  }
  std::string file(const std::string& name) { return solvarium_test::readFile(dir_.file(name)); }
  bool exists(const std::string& name) { return solvarium_test::fileExists(dir_.file(name)); }

  solvarium_test::TempDir dir_;
  brox_test::ScopedCwd cwd_;
  talvo_test::TalvoRun talvo_;
};

TEST_F(TalvoInterpreterTest, TokensCapabilitiesAndPlainAnswers) {
  if (const auto e = expectThrow<AAS_CORBA::EInstantTalvoGenericError>([&] { run(" \t "); })) {
    EXPECT_STREQ(e->command.in(), "");
    EXPECT_STREQ(e->errorInfo.in(), "Empty instant aaS command");
  }
  EXPECT_EQ(run("aaS.implements.get_status"), "True");
  EXPECT_EQ(run("aaS.implements.suggest"), "True");
  EXPECT_EQ(run("aaS.implements.list_plot_sets"), "False");
  EXPECT_EQ(run("aaS.implements.tic_one_minute"), "False");
  EXPECT_EQ(error("aaS.implements.get_status x"),
            "Error: 'aaS.implements.' commands do not have parameters.\n");

  const std::string suggest = run("aaS.suggest");
  EXPECT_EQ(suggest.substr(0, 26), "aaS.get_current_flow_time\n");
  EXPECT_EQ(std::count(suggest.begin(), suggest.end(), '\n'), 26);
  EXPECT_EQ(suggest.substr(suggest.size() - 12), "aaS.suggest\n");
  EXPECT_EQ(error("aaS.suggest x"), "Error: 'aaS_suggest' commands do not have parameters.\n");

  EXPECT_EQ(run("aaS.get_current_iteration"), "0");
  EXPECT_EQ(run("aaS.get_release"), "");
  EXPECT_EQ(error("aaS.get_current_flow_time"), "Data not available");
  EXPECT_EQ(error("aaS.get_paused_index"), "Data not available");
  send({"broadcast::visited:rp-var-value-set:flow-time:0.5", "broadcast::visited:iteration-set:7",
        "broadcast::visited:add-input-parameter:p1:x", "broadcast::visited:add-output-parameter:o:1",
        "broadcast::started:running", "oops", "second"});
  EXPECT_EQ(run("aaS.get_current_flow_time"), "0.5");
  EXPECT_EQ(run("aaS.get_current_iteration"), "7");
  EXPECT_EQ(run("aaS.get_nr_active_errors extra"), "2");
  EXPECT_EQ(run("aaS.get_list_active_errors"), "oops\nsecond");
  EXPECT_EQ(run("aaS.get_nr_input_parameters"), "1");
  EXPECT_EQ(run("aaS.get_list_output_parameters"), "o\n");
  EXPECT_EQ(run("aaS.get_status"), "running\n");
  EXPECT_EQ(error("aaS.get_current_iteration 1"),
            "Invalid instant aaS command.\n<aaS.get_current_iteration> command does not have parameters");
  EXPECT_EQ(error("aaS.get_nr_output_parameters 1"),
            "Invalid instant aaS command.\n<aaS.get_nr_output_parameters> command does not have "
            "parameters");
  EXPECT_EQ(run("aaS_internal.tic_one_minute whatever"), "");

  EXPECT_EQ(error("aaS.list_plot_sets"),
            "list_plot_sets command has been deprecated.\n Please use aaS.list_report_plots instead.\n");
  EXPECT_EQ(error("aaS.list_monitor_sets"),
            "aaS_list_monitor_sets command has been deprecated.\n Please use aaS.list_report_files "
            "instead.\n");
  EXPECT_EQ(error("aaS.foo"), "Unknown instant aaS command");
}

TEST_F(TalvoInterpreterTest, MonitorFormats) {
  EXPECT_EQ(question("aaS.set_monitor_double_format"),
            "Please provide the floating point formatting string|25.17le");
  EXPECT_EQ(run("aaS.set_monitor_double_format 10.7lf"), "Done");
  EXPECT_EQ(question("aaS.set_monitor_double_format"),
            "Please provide the floating point formatting string|10.7lf");
  const std::string examples =
      " Example of syntactically correct commands:\naaS.set_monitor_double_format 10.7lf\n"
      "aaS.set_monitor_double_format 14.9lg\n";
  EXPECT_EQ(error("aaS.set_monitor_double_format 10.0lf"), "Inaccurate double format." + examples);
  EXPECT_EQ(error("aaS.set_monitor_double_format 10.7f"), "Invalid double format." + examples);
  EXPECT_EQ(error("aaS.set_monitor_double_format 123.7lf"), "Invalid double format." + examples);
  EXPECT_EQ(error("aaS.set_monitor_double_format 1.1lf 2"),
            "Invalid instant aaS command.\n<aaS.set_monitor_double_format> command requires exactly "
            "one parameter");
  EXPECT_EQ(run("aaS.set_monitor_double_format +099.99lf"), "Done");
  EXPECT_EQ(talvo_.state.monitorDoubleFormat, "%+099.99lf");

  EXPECT_EQ(question("aaS.set_monitor_integer_format"),
            "Please provide the integer formatting string|25d");
  EXPECT_EQ(run("aaS.set_monitor_integer_format 04d"), "Done");
  EXPECT_EQ(talvo_.state.monitorIntegerFormat, "%04d");
  EXPECT_EQ(error("aaS.set_monitor_integer_format %4d"),
            "Invalid integer format. Example of syntactically correct commands:\n"
            "aaS.set_monitor_integer_format 4d\naaS.set_monitor_integer_format 04d\n");

  // Zero padding and "+" reach the JSON as plain numbers.
  send({"broadcast::visited:rp-var-value-set:residuals/settings:((a #t))",
        "broadcast::visited:monitors:<Residual iteration 1 2\n<Residual a 1e300 -2.5",
        "broadcast::visited:iteration-set:2"});
  const std::string json = run("aaS.list_monitors_with_persisted_data");
  std::string why;
  EXPECT_TRUE(solvarium_test::isValidJson(json, &why)) << why << json;
  EXPECT_NE(json.find("\n\t\t\t\t,   2\n"), std::string::npos) << json;
}

TEST_F(TalvoInterpreterTest, AutoSavePeriodTickAndSave) {
  EXPECT_EQ(question("aaS.set_auto_save_period_json_monitors"), "Auto-Save period in minutes|60");
  for (const char* bad : {"0", "-5", "5x", "abc", "99999999999"}) {
    EXPECT_EQ(error(std::string("aaS.set_auto_save_period_json_monitors ") + bad),
              "Please provide a positive number for auto-save period.");
  }
  EXPECT_EQ(error("aaS.set_auto_save_period_json_monitors 5 6"), "Invalid command[6]");
  EXPECT_EQ(run("aaS.set_auto_save_period_json_monitors ,"), "Auto-Save period set to 60 minutes.");
  EXPECT_EQ(run("aaS.set_auto_save_period_json_monitors 2"), "Auto-Save period set to 2 minutes.");

  EXPECT_EQ(run("aaS_internal.tic_one_minute"), "");
  EXPECT_FALSE(exists("monitor.json"));
  EXPECT_EQ(run("aaS_internal.tic_one_minute"), "");
  EXPECT_EQ(file("monitor.json"), "[\n]");
  EXPECT_EQ(talvo_.state.minuteCounter, 0);
  // A period lowered below the count still saves at the next tick.
  ASSERT_EQ(::unlink(dir_.file("monitor.json").c_str()), 0);
  run("aaS.set_auto_save_period_json_monitors 5");
  for (int i = 0; i < 3; ++i) run("aaS_internal.tic_one_minute");
  run("aaS.set_auto_save_period_json_monitors 1");
  run("aaS_internal.tic_one_minute");
  EXPECT_EQ(file("monitor.json"), "[\n]");

  EXPECT_EQ(question("aaS.save_monitors_with_persisted_data"),
            "JSON persisted monitors filename|monitor.json");
  EXPECT_EQ(error("aaS.save_monitors_with_persisted_data a b"), "Invalid command[b]");
  EXPECT_EQ(error("aaS.save_monitors_with_persisted_data ../out.json"), "Cannot open output file name.");
  EXPECT_EQ(error("aaS.save_monitors_with_persisted_data /tmp/out.json"),
            "Cannot open output file name.");
  EXPECT_EQ(run("aaS.save_monitors_with_persisted_data " + dir_.file("abs.json")),
            "JSON monitors saved in '" + dir_.file("abs.json") + "'.\n");
  EXPECT_EQ(error("aaS.save_monitors_with_persisted_data no/such/dir.json"),
            "Cannot open output file name.");

  send({"broadcast::visited:rp-var-value-set:residuals/settings:((a #t))",
        "broadcast::visited:report-defn-changed:(((name . rd0)))",
        "broadcast::visited:monitor-set-changed:()", "broadcast::visited:iteration-set:1"});
  EXPECT_EQ(run("aaS.save_monitors_with_persisted_data out.json"), "JSON monitors saved in 'out.json'.\n");
  const std::string saved = file("out.json");
  std::string why;
  EXPECT_TRUE(solvarium_test::isValidJson(saved, &why)) << why << saved;
  EXPECT_EQ(saved.substr(0, 3), "[\n\t");
  EXPECT_NE(saved.find("\n\t}\n\n\t,\n\n\t{\n\t\t\"monitorType\":\"R17ReportDefinition\""),
            std::string::npos)
      << saved;

  // A write that fails (the file size limit) keeps the previous file and
  // says so; a folder is no file to replace.
  {
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    struct rlimit small = old;
    small.rlim_cur = 16;
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string info = error("aaS.save_monitors_with_persisted_data out.json");
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old), 0);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(info, "Cannot write output file name.");
    EXPECT_EQ(file("out.json"), saved);
  }
  ASSERT_EQ(::mkdir(dir_.file("taken").c_str(), 0755), 0);
  EXPECT_EQ(error("aaS.save_monitors_with_persisted_data taken"), "Cannot open output file name.");
  // The automatic save logs its failure and keeps ticking.
  ASSERT_EQ(::rename(dir_.file("monitor.json").c_str(), dir_.file("old.json").c_str()), 0);
  ASSERT_EQ(::mkdir(dir_.file("monitor.json").c_str(), 0755), 0);
  run("aaS_internal.tic_one_minute");
  run("aaS_internal.tic_one_minute");
  const std::string line =
      "\n\nUnknown error executing 'aaS.save_monitors_with_persisted_data monitor.json'\n\n";
  EXPECT_EQ(file("talvo_instant_aas.error"), line + line);
}

TEST_F(TalvoInterpreterTest, ListingOptions) {
  EXPECT_EQ(run("aaS.list_monitors"), "[\n]\n");
  EXPECT_EQ(error("aaS.list_report_files x"),
            "Invalid instant aaS command.\n<aaS.list_report_files>. Too many tokens");
  EXPECT_EQ(error("aaS.list_report_files_with_persisted_data start-flow-time 1"),
            "Invalid instant aaS command.\n<aaS.list_report_files_with_persisted_data>.start-flow-time "
            "option not supported");
  EXPECT_EQ(error("aaS.list_report_files_with_persisted_data start-iteration 10 x"),
            "Invalid instant aaS command.\n<aaS.list_report_files_with_persisted_data>. Too many tokens");
  EXPECT_EQ(run("aaS.list_report_files_with_persisted_data start-iteration 10"), "[]");
  EXPECT_TRUE(talvo_.state.monitorFilter.iterationFilter);
  EXPECT_EQ(talvo_.state.monitorFilter.startIteration, 10);

  if (const auto e = expectThrow<AAS_CORBA::EInstantReadQGenericQuestion>(
          [&] { run("aaS.list_monitors_with_persisted_data start-iteration"); })) {
    EXPECT_EQ(e->questionType, 3);
    EXPECT_STREQ(e->questionPromptWithDefaultAnswer.in(), "Start Iteration [0]");
    EXPECT_STREQ(e->rawDefaultAnswer.in(), "0");
    EXPECT_STREQ(e->questionHelp.in(), "");
    EXPECT_STREQ(e->questionMessage.in(), "Starting iteration not provided.");
  }
  for (const std::string bad : {"1.5", "5x", "-1"}) {
    if (const auto e = expectThrow<AAS_CORBA::EInstantTalvoGenericError>(
            [&] { run("aaS.list_monitors_with_persisted_data start-iteration " + bad); }, bad)) {
      EXPECT_STREQ(e->command.in(), "Retrieving iteration filtered instant monitor data");
      EXPECT_STREQ(e->errorInfo.in(), "Please provide a positive number for start-iteration.");
    }
  }
  EXPECT_EQ(run("aaS.list_monitors_with_persisted_data start-flow-time 0.0 start-iteration 0"),
            "[\n]\n");
  EXPECT_EQ(error("aaS.list_monitors residuals a b"), "Invalid aaS.list_monitors command.");
  EXPECT_EQ(error("aaS.list_monitors other"), "Invalid aaS.list_monitors command.");

  send({"broadcast::visited:rp-var-value-set:residuals/settings:((a #t) (b #t))",
        "broadcast::visited:monitors:<Residual iteration 99 100 101\n<Residual a 1 2 3\n<Residual b 4",
        "broadcast::visited:iteration-set:101"});
  const std::string one = run("aaS.list_monitors_with_persisted_data residuals a start-iteration 100");
  EXPECT_NE(one.find("\"header\":\n\t\t\t[\n\t\t\t\t\"Iteration\"\n\t\t\t\t,\"a\"\n\t\t\t]"),
            std::string::npos);
  EXPECT_EQ(one.find("\t\t\t,\"b\":\n\t\t\t["), std::string::npos);
  EXPECT_NE(one.find("\"currentIterationNo\":101\n"), std::string::npos);
  std::string why;
  EXPECT_TRUE(solvarium_test::isValidJson(one, &why)) << why;
  // b's history is shorter than the start position: an empty array.
  const std::string both = run("aaS.list_monitors_with_persisted_data start-iteration 100");
  EXPECT_NE(both.find("\t\t\t,\"b\":\n\t\t\t[\n\t\t\t]\n"), std::string::npos) << both;
  if (const auto e = expectThrow<AAS_CORBA::EInstantTalvoGenericError>(
          [&] { run("aaS.list_monitors residuals c"); })) {
    EXPECT_STREQ(e->errorInfo.in(), "Invalid residual monitor[c]");
  }
}

}  // namespace
