#include "solvers/brox/brox_interpreter.h"

#include <gtest/gtest.h>

#include "common/command_table.h"
#include "common/kind_rules.h"

namespace {

StatusRecord run(const std::string& name, bool completed, bool multi = false,
                 std::vector<std::string> configurations = {}) {
  StatusRecord record;
  record.name = name;
  record.completed = completed;
  record.multiConfig = multi;
  for (std::size_t i = 0; i < configurations.size(); ++i) {
    record.configurations[configurations[i]] = static_cast<int32_t>(i);
  }
  return record;
}

TEST(BroxInterpreterTest, DotSlashIsRemovedOnlyAtTheStartOfEachLine) {
  EXPECT_EQ(BROX::stripLeadingDotSlash("./a.dir\n./study/b.dir\n"), "a.dir\nstudy/b.dir\n");
  EXPECT_EQ(BROX::stripLeadingDotSlash("./case./b.res\n"), "case./b.res\n");
  EXPECT_EQ(BROX::stripLeadingDotSlash("../x\n"), "../x\n");
  EXPECT_EQ(BROX::stripLeadingDotSlash("././x"), "./x");
  // Session-filtered listings have no line feed after the last entry.
  EXPECT_EQ(BROX::stripLeadingDotSlash("./study/a\n./study/b"), "study/a\nstudy/b");
  EXPECT_EQ(BROX::stripLeadingDotSlash(""), "");
}

TEST(BroxInterpreterTest, RunListsExpandConfigurationsAndFilterBySession) {
  BroxStatusReader::ResultMap results;
  results["./b.res"] = run("b", true);
  results["./a.dir"] = run("a", false);
  results["./m.mres"] = run("study", false, true, {"cfg2", "cfg1"});
  results["./n.mres"] = run("other", true, true, {"x"});

  EXPECT_EQ(BROX::runListText(results, nullptr),
            "./a.dir\n./b.res\n./m.mres/cfg1\n./m.mres/cfg2\n./n.mres/x\n");
  const std::string session = "study";
  // Single-configuration runs are listed whatever the session.
  EXPECT_EQ(BROX::runListText(results, &session),
            "./a.dir\n./b.res\n./m.mres/cfg1\n./m.mres/cfg2\n");
  EXPECT_EQ(BROX::activeRunListText(results), "./a.dir\n./m.mres/cfg1\n./m.mres/cfg2\n");
  EXPECT_EQ(BROX::runListText(BroxStatusReader::ResultMap(), nullptr), "");
}

TEST(BroxInterpreterTest, SuggestListsTheSetInByteOrder) {
  const std::set<std::string>& commands = BROX::BroxInterpreter::commandNames();
  ASSERT_EQ(commands.size(), 32u);
  const std::string text = solvarium::suggestText(commands);
  EXPECT_EQ(text.rfind("aaS.amend_report_plots_will\naaS.get\naaS.get_status\n"
                       "aaS.get_storage_status\naaS.getenv\n", 0),
            0u);
  const std::string tail = "aaS.suggest\naaS.terminate\naaS.terminate_solver\n";
  EXPECT_EQ(text.substr(text.size() - tail.size()), tail);
}

TEST(BroxInterpreterTest, AutoSavePeriodAcceptsOnlyWholePositiveNumbers) {
  int32_t minutes = 0;
  EXPECT_TRUE(solvarium::parseAutoSavePeriod("5", &minutes));
  EXPECT_EQ(minutes, 5);
  EXPECT_TRUE(solvarium::parseAutoSavePeriod(" +7", &minutes));
  EXPECT_EQ(minutes, 7);
  for (const char* bad : {"0", "-3", "5a", "five", "", "99999999999"}) {
    EXPECT_FALSE(solvarium::parseAutoSavePeriod(bad, &minutes)) << bad;
  }
}

TEST(BroxInterpreterTest, InnerArrayText) {
  EXPECT_EQ(BROX::innerArrayText("[\n{\"a\":[1]}\n]\n"), "\n{\"a\":[1]}\n");
  EXPECT_EQ(BROX::innerArrayText("[\n]\n"), "");
  EXPECT_EQ(BROX::innerArrayText("no array"), "");
  EXPECT_EQ(BROX::innerArrayText("] {x} ["), "");
}

// The flags that `message` sets on a fresh map, as "name+" / "name-" joined
// by ";".
std::string changes(const std::string& message) {
  solvarium::StateFlags flags;
  solvarium::applyStartedEnded(message, &flags);
  std::string text;
  for (const auto& entry : flags.map) {
    if (!text.empty()) text += ";";
    text += entry.first + (entry.second ? "+" : "-");
  }
  return text;
}

TEST(BroxBroadcastTest, PrefixesMapToStateFlagChanges) {
  EXPECT_EQ(changes("broadcast::started:solving"), "solving+");
  EXPECT_EQ(changes("broadcast::started:journaling"), "journaling+;prejournaling-");
  EXPECT_EQ(changes("broadcast::started:journalingX"), "journalingX+");
  EXPECT_EQ(changes("broadcast::ended:a:b"), "a:b-");
  EXPECT_EQ(changes("broadcast::started:"), "+");
  EXPECT_EQ(changes("broadcast::visited:started:x"), "");
  EXPECT_EQ(changes("broadcast::resoluted:x"), "");
  EXPECT_EQ(changes("broadcast::startedx"), "");
  EXPECT_EQ(changes(""), "");
}

}  // namespace
