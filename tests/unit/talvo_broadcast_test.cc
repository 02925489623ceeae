#include "solvers/talvo/talvo_broadcast.h"

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"
#include "tests/unit/talvo_test_util.h"

namespace {

using solvarium_test::readFile;
using talvo_test::TalvoRun;

TEST(TalvoBroadcastTest, FlagsErrorsAndListenerState) {
  TalvoRun run;
  run.send({"broadcast::started:journaling", "broadcast::started:solving"});
  EXPECT_EQ(run.flags.text(), "journaling\nsolving\n");
  EXPECT_TRUE(run.flags.has("prejournaling"));
  run.send({"broadcast::ended:solving", "DelayedErrorMsg: late"});
  EXPECT_EQ(run.flags.text(), "error\njournaling\n");
  run.send({"ErrorMsg: boom"});
  EXPECT_TRUE(run.flags.map.empty());
  run.send({"broadcast::started:a", "broadcast::interrupted"});
  EXPECT_TRUE(run.flags.map.empty());
  run.send({"broadcast::interrupted:more", "something else"});
  ASSERT_EQ(run.state.errorMessages.size(), 4u);
  EXPECT_EQ(run.state.errorMessages[0], "DelayedErrorMsg: late");
  EXPECT_EQ(run.state.errorMessages[1], "ErrorMsg: boom");
  EXPECT_EQ(run.state.errorMessages[2], "broadcast::interrupted:more");

  // Listener visits: the three spellings of the aaS listener map to one name.
  run.state.aasListenerVisited = false;
  run.send({"broadcast::visited:ti-add-edit-execute-command", "broadcast::visited:debugging",
            "broadcast::visited:cx-changed:zone-list:():()"});
  EXPECT_TRUE(run.state.aasListenerVisited);
  EXPECT_EQ(run.state.visitedText(), "aaslistener\ncx-changed:zone-list:():()\ndebugging\n");
  run.send({"broadcast::resoluted:aaslistener", "broadcast::resoluted:debugging"});
  EXPECT_FALSE(run.state.aasListenerVisited);
  EXPECT_EQ(run.state.visitedText(), "cx-changed:zone-list:():()\n");

  run.send({"broadcast::release:(19 2 0)", "broadcast::(rp-3d?):#T", "broadcast::(rp-double?):#t"});
  EXPECT_EQ(run.state.release, "KORLEN Talvo 19.2.0");
  EXPECT_EQ(run.state.dimensionality, "unknown");
  EXPECT_EQ(run.state.precision, "dp");
  run.send({"broadcast::release:()", "broadcast::(rp-3d?):#f"});
  EXPECT_EQ(run.state.release, "KORLEN Talvo ");
  EXPECT_EQ(run.state.dimensionality, "2d");
}

TEST(TalvoBroadcastTest, ParametersVariablesAndIterations) {
  TalvoRun run;
  run.send({"broadcast::visited:add-input-parameter:p0", "broadcast::visited:add-input-parameter:p1:x",
            "broadcast::visited:create-parameter-from-persisted-value:p2:1:2",
            "broadcast::started:upload-input-parameters-from-rpvar",
            "broadcast::ended:upload-input-parameters-from-rpvar",
            "broadcast::visited:create-parameter-from-persisted-value:p3:1:2",
            "broadcast::visited:add-output-parameter:o1:y",
            "broadcast::visited:delete-output-parameter:o1",
            "broadcast::visited:delete-input-parameter:gone",
            // One field too many: dropped.
            "broadcast::visited:add-input-parameter:p4:1:extra",
            "broadcast::visited:add-output-parameter:o2:1:extra",
            "broadcast::visited:create-parameter-from-persisted-value:p5:1:2:extra"});
  EXPECT_EQ(run.state.inputParameters,
            (std::map<std::string, bool>{{"gone", false}, {"p1", true}, {"p2", true}}));
  EXPECT_EQ(run.state.outputParameters, (std::map<std::string, bool>{{"o1", false}, {"p3", true}}));

  run.send({"broadcast::visited:rp-var-value-set:flow-time:0.25",
            "broadcast::visited:rp-var-value-set:a:b:c", "broadcast::visited:rp-var-value-set:nocolon",
            "broadcast::visited:rp-var-value-set:residuals/settings:((continuity #t 1e-3) "
            "(x-velocity (nested) #t) () (unterminated"});
  EXPECT_EQ(run.state.rpVariables.at("flow-time"), "0.25");
  EXPECT_EQ(run.state.rpVariables.at("a"), "b:c");
  EXPECT_EQ(run.state.rpVariables.count("nocolon"), 0u);
  EXPECT_EQ(run.state.residualNames, (std::vector<std::string>{"continuity", "x-velocity"}));

  run.send({"broadcast::visited:monitors:<Residual a 1 2 /Residual> 3\n<Residual b 5",
            "broadcast::visited:monitors:incremental:<Residual a 7\r<Residual",
            "broadcast::visited:iteration-set:  +12abc"});
  EXPECT_EQ(run.state.residualHistory.at("a"), (std::vector<double>{1, 2, 7}));
  EXPECT_EQ(run.state.residualHistory.at("b"), (std::vector<double>{5}));
  EXPECT_EQ(run.state.currentIteration, 12);
  run.send({"broadcast::visited:monitors:full:<Residual b 6"});
  EXPECT_EQ(run.state.residualHistory.at("a"), (std::vector<double>{1, 2, 7}));
  EXPECT_EQ(run.state.residualHistory.at("b"), (std::vector<double>{6}));

  // Residual values are decimal text only, read up to the first other character.
  run.send({"broadcast::visited:monitors:<Residual c 0x10 inf nan 1.5e1x -.5e 1e+ /Residual>"});
  EXPECT_EQ(run.state.residualHistory.at("c"), (std::vector<double>{0, 0, 0, 15, -0.5, 1}));

  run.send({"broadcast::visited:iteration-set:99999999999"});
  EXPECT_EQ(run.state.currentIteration, 2147483647);
  run.send({"broadcast::visited:iteration-set:0"});
  EXPECT_TRUE(run.state.residualHistory.empty());
  EXPECT_FALSE(run.state.rpVariables.empty());
  run.send({"broadcast::visited:iteration-set:-1"});
  EXPECT_TRUE(run.state.inputParameters.empty());
  EXPECT_TRUE(run.state.outputParameters.empty());
  EXPECT_TRUE(run.state.rpVariables.empty());

  run.send({"broadcast::visited:paused-index-set:7",
            "broadcast::visited:collaborativecosolverunitior-set:IOR:00"});
  EXPECT_EQ(run.state.pausedIndex, "7");
  EXPECT_EQ(run.state.collaborativeSolverUnitIor, "IOR:00");
}

TEST(TalvoBroadcastTest, ZoneAndSurfaceListsPairWhatTheyCan) {
  TalvoRun run;
  run.send({"broadcast::visited:cx-changed:zone-list:(2 5 9):(wall inlet)"});
  EXPECT_EQ(run.state.zoneNames, (std::map<int32_t, std::string>{{2, "wall"}, {5, "inlet"}}));
  run.send({"broadcast::visited:cx-changed:zone-list:(2 5)"});
  EXPECT_TRUE(run.state.zoneNames.empty());
  run.send({"broadcast::visited:cx-var-value-set:cx-surface-list:((3 (name wall) (type wall)) "
            "(7 (name outlet)) (8 (type x)) (9 (name)) ( ) (10 (name open"});
  EXPECT_EQ(run.state.surfaceNames,
            (std::map<int32_t, std::string>{{3, "wall"}, {7, "outlet"}, {8, ""}, {9, ""}}));
  EXPECT_EQ(run.state.visitedFlags.size(), 3u);  // both zone lists and the surfaces
  run.send({"broadcast::visited:cx-var-value-set:cx-surface-list:()"});
  EXPECT_TRUE(run.state.surfaceNames.empty());
}

TEST(TalvoBroadcastTest, TraceFilesAreAppendedExactly) {
  solvarium_test::TempDir dir;
  brox_test::ScopedCwd cwd(dir.path());
  ASSERT_TRUE(cwd.ok());
  TalvoRun run;
  run.send({"broadcast::echo:one %s\n", "broadcast::echo:two", "broadcast::visited:debug:x %d",
            "broadcast::visited:debug:"});
  EXPECT_EQ(readFile("instant_transcript.txt"), "one %s\ntwo");
  EXPECT_EQ(readFile("broadcast.visited.debug.txt"),
            "\nMessage:\nbroadcast::visited:debug:x %d\nEndMessage\n"
            "\nMessage:\nbroadcast::visited:debug:\nEndMessage\n");
  EXPECT_TRUE(run.state.errorMessages.empty());
  EXPECT_TRUE(run.state.visitedFlags.empty());
}

TEST(TalvoBroadcastTest, QuestionStateAndMenuRule) {
  TALVO::TalvoState state;
  state.questionType = "t";
  state.questionYesNo = true;
  state.setQuestionMenu("1 go\n2 exit");
  EXPECT_EQ(state.questionMenu, "1 go\n2 exit");
  EXPECT_EQ(state.questionType, "t");
  state.errorMessages.push_back("e");
  state.setQuestionMenu("0 exit now");
  EXPECT_EQ(state.questionMenu, "0 exit now");
  state.errorMessages.clear();
  state.visitedFlags["v"] = true;
  state.setQuestionMenu("0 exit now");
  EXPECT_EQ(state.questionMenu, "");
  EXPECT_EQ(state.questionType, "");
  EXPECT_FALSE(state.questionYesNo);
  EXPECT_EQ(state.visitedText(), "v\n");
}

}  // namespace
