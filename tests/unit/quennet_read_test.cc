// Read stage: the run-information reader and the storage observer.
#include <sys/stat.h>

#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "quennet/brox_status.h"
#include "quennet/brox_storage_observer.h"
#include "quennet/xoq/error.h"
#include "quennet/xoq/gui_information_observer.h"
#include "quennet/xoq/gui_information_reader.h"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::TempDir;
using solvarium_test::appendFile;
using solvarium_test::expectThrow;
using solvarium_test::writeFile;

// Records every notification as one line of text.
class RecordingObserver : public xoq::GuiInformationObserver {
 public:
  void configurationFound(const xoq::GuiInformationReader&, int32_t number,
                          const xoq::ConfigurationDescription& c) override {
    events.push_back("configuration " + std::to_string(number) + " [" + c.name + "]");
  }
  void runDescribed(const xoq::GuiInformationReader&, const xoq::RunDescription& run) override {
    events.push_back("run [" + run.multiConfig + "] [" + run.name + "]");
  }
  void progressReported(const xoq::GuiInformationReader&, const std::string& quantity,
                        const std::string& value) override {
    events.push_back("progress [" + quantity + "] [" + value + "]");
  }
  void runEnded(const xoq::GuiInformationReader&, const std::string& reason) override {
    events.push_back("end [" + reason + "]");
  }
  void messageReported(const xoq::GuiInformationReader&, const std::string& text) override {
    events.push_back("message [" + text + "]");
  }
  std::vector<std::string> events;
};

class QuennetReadTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()) << dir_.error(); }
  TempDir dir_;
};

TEST_F(QuennetReadTest, ReaderDeliversStatementsInFileOrderAndSkipsTheRest) {
  writeFile(dir_.file("r.res"),
            "# saved run\n"
            "run True Wing sweep 2\r\n"
            "configuration 0 cruise\n"
            "configuration x broken\n"
            "configuration 99999999999 too large\n"
            "configuration -3 negative\n"
            "runner False not a keyword\n"
            "\n"
            "progress iteration 400\n"
            "message Solver started\n"
            "end Converged at step 400\n"
            "end\n"
            "bogus line\n");
  xoq::GuiInformationReader reader(false, dir_.file("r.res"), "r.res");
  RecordingObserver observer;
  reader.addObserver(&observer);
  EXPECT_TRUE(reader.processNewLines());
  EXPECT_EQ((std::vector<std::string>{
                "run [True] [Wing sweep 2]",
                "configuration 0 [cruise]",
                "configuration -3 [negative]",
                "progress [iteration] [400]",
                "message [Solver started]",
                "end [Converged at step 400]",
                "end []",
            }),
            observer.events);
}

TEST_F(QuennetReadTest, ReaderReadsOnlyCompleteNewLines) {
  ASSERT_EQ(0, ::mkdir(dir_.file("a.dir").c_str(), 0755));
  const std::string info = dir_.file("a.dir/gui-err.txt");
  writeFile(info, "run False a\nmessage half");
  xoq::GuiInformationReader reader(true, dir_.file("a.dir"), "a.dir");
  RecordingObserver observer;
  reader.addObserver(&observer);
  EXPECT_TRUE(reader.processNewLines());
  EXPECT_EQ(std::vector<std::string>{"run [False] [a]"}, observer.events);

  appendFile(info, " written\nend Stopped\n");
  EXPECT_TRUE(reader.processNewLines());
  EXPECT_FALSE(reader.processNewLines());  // nothing new
  EXPECT_EQ((std::vector<std::string>{"run [False] [a]", "message [half written]", "end [Stopped]"}),
            observer.events);
}

// One reader and observer going from run to run, as the read stage uses them:
// each file is read from its start, a line across read chunks is whole, and
// each run's record starts empty.
TEST_F(QuennetReadTest, ReopenedReaderReadsTheNextRunFromItsStart) {
  const std::string longName(9000, 'n');  // longer than one read chunk
  writeFile(dir_.file("first.res"), "run True first\r\nconfiguration 3 c\nend Converged\n");
  ASSERT_EQ(0, ::mkdir(dir_.file("second.dir").c_str(), 0755));
  writeFile(dir_.file("second.dir/gui-err.txt"),
            "progress iteration 5\nrun False " + longName + "\n");

  BROX::CBroxStorageObserver storage;
  RecordingObserver events;
  xoq::GuiInformationReader reader(false, dir_.file("first.res"), "first.res");
  reader.addObserver(&storage);
  reader.addObserver(&events);
  EXPECT_TRUE(reader.processNewLines());
  const StatusRecord first = storage.takeRecord();
  EXPECT_EQ("first", first.name);
  EXPECT_TRUE(first.multiConfig);
  EXPECT_EQ("Converged", first.exitReason);
  EXPECT_EQ((std::map<std::string, int32_t>{{"c", 3}}), first.configurations);

  reader.reopen(true, dir_.file("second.dir"), "second.dir");
  EXPECT_TRUE(reader.processNewLines());
  EXPECT_FALSE(reader.processNewLines());
  const StatusRecord second = storage.takeRecord();
  EXPECT_EQ(longName, second.name);
  EXPECT_FALSE(second.multiConfig);
  EXPECT_FALSE(second.completed);
  EXPECT_TRUE(second.exitReason.empty());
  EXPECT_TRUE(second.configurations.empty());
  EXPECT_EQ((std::vector<std::string>{"run [True] [first]", "configuration 3 [c]",
                                      "end [Converged]", "progress [iteration] [5]",
                                      "run [False] [" + longName + "]"}),
            events.events);
}

TEST_F(QuennetReadTest, ReaderSkipsOverlongLinesAndUnreadableFiles) {
  writeFile(dir_.file("long.res"),
            "message " + std::string(xoq::GuiInformationReader::kMaxLineLength + 10, 'x') +
                "\nend Done\n");
  xoq::GuiInformationReader reader(false, dir_.file("long.res"), "long.res");
  RecordingObserver observer;
  reader.addObserver(&observer);
  reader.processNewLines();
  EXPECT_EQ(std::vector<std::string>{"end [Done]"}, observer.events);

  xoq::GuiInformationReader missing(true, dir_.file("none.dir"), "none.dir");
  RecordingObserver silent;
  missing.addObserver(&silent);
  EXPECT_FALSE(missing.processNewLines());
  EXPECT_TRUE(silent.events.empty());

  // A FIFO named like a result file is refused at once, never waited on.
  ASSERT_EQ(0, ::mkfifo(dir_.file("pipe.res").c_str(), 0600));
  xoq::GuiInformationReader pipe(false, dir_.file("pipe.res"), "pipe.res");
  pipe.addObserver(&silent);
  EXPECT_FALSE(pipe.processNewLines());
  EXPECT_TRUE(silent.events.empty());
}

TEST_F(QuennetReadTest, ErrorLineThrowsAfterDeliveringEarlierLines) {
  writeFile(dir_.file("bad.res"), "run False bad\nerror Licence checkout failed\nend Never\n");
  xoq::GuiInformationReader reader(false, dir_.file("bad.res"), "./bad.res");
  RecordingObserver observer;
  reader.addObserver(&observer);
  if (const auto error = expectThrow<xoq::Error>([&] { reader.processNewLines(); })) {
    EXPECT_EQ("./bad.res: Licence checkout failed", error->message());
  }
  EXPECT_EQ(std::vector<std::string>{"run [False] [bad]"}, observer.events);
}

TEST(QuennetObserverTest, CollectsTheRunIntoItsRecord) {
  xoq::GuiInformationReader source(false, "unused", "unused");
  BROX::CBroxStorageObserver observer;
  EXPECT_TRUE(observer.record().configurations.empty());
  EXPECT_FALSE(observer.record().multiConfig);
  EXPECT_FALSE(observer.record().completed);

  observer.runDescribed(source, {"Wing", "True"});
  observer.configurationFound(source, 1, {"take-off"});
  observer.configurationFound(source, 0, {"cruise"});
  observer.configurationFound(source, 2, {"cruise"});  // a repeated name takes the last value
  observer.progressReported(source, "iteration", "10");
  observer.messageReported(source, "hello");
  EXPECT_FALSE(observer.record().completed);
  observer.runEnded(source, "Converged");

  const StatusRecord& record = observer.record();
  EXPECT_EQ("Wing", record.name);
  EXPECT_TRUE(record.multiConfig);
  EXPECT_TRUE(record.completed);
  EXPECT_EQ("Converged", record.exitReason);
  EXPECT_EQ((std::map<std::string, int32_t>{{"cruise", 2}, {"take-off", 1}}),
            record.configurations);

  BROX::CBroxStorageObserver other;
  other.runDescribed(source, {"Single", "true"});  // only "True" counts
  EXPECT_FALSE(other.record().multiConfig);
}

TEST_F(QuennetReadTest, ProcessReadsEveryKindOfRun) {
  writeFile(dir_.file("saved.res"), "run False Saved run\nend Converged\n");
  writeFile(dir_.file("study.mres"),
            "run True Study\nconfiguration 0 low\nconfiguration 1 high\nend Finished\n");
  ASSERT_EQ(0, ::mkdir(dir_.file("live.dir").c_str(), 0755));
  writeFile(dir_.file("live.dir/gui-err.txt"), "run False Live run\nprogress iteration 12\n");
  ASSERT_EQ(0, ::mkdir(dir_.file("batch").c_str(), 0755));
  writeFile(dir_.file("batch/gui-err.txt"), "run True Batch\nconfiguration 0 only\n");

  BroxStatusReader reader(dir_.path().c_str());
  reader.process();
  ASSERT_EQ(4u, reader.results.size());

  const StatusRecord& saved = reader.results.at(dir_.file("saved.res"));
  EXPECT_EQ("Saved run", saved.name);
  EXPECT_TRUE(saved.completed);
  EXPECT_EQ("Converged", saved.exitReason);
  EXPECT_FALSE(saved.multiConfig);

  const StatusRecord& study = reader.results.at(dir_.file("study.mres"));
  EXPECT_TRUE(study.multiConfig);
  EXPECT_EQ((std::map<std::string, int32_t>{{"high", 1}, {"low", 0}}), study.configurations);

  const StatusRecord& live = reader.results.at(dir_.file("live.dir"));
  EXPECT_EQ("Live run", live.name);
  EXPECT_FALSE(live.completed);
  EXPECT_TRUE(live.exitReason.empty());

  EXPECT_EQ("Batch", reader.results.at(dir_.file("batch")).name);
  EXPECT_EQ(2u, reader.lockFiles.size());
}

TEST_F(QuennetReadTest, ReadErrorRemovesTheLockFiles) {
  ASSERT_EQ(0, ::mkdir(dir_.file("a.dir").c_str(), 0755));
  writeFile(dir_.file("a.dir/gui-err.txt"), "run False a\n");
  ASSERT_EQ(0, ::mkdir(dir_.file("b.dir").c_str(), 0755));
  writeFile(dir_.file("b.dir/gui-err.txt"), "error Disk quota exceeded\n");

  BroxStatusReader reader(dir_.path().c_str());
  EXPECT_THROW(reader.process(), xoq::Error);
  EXPECT_TRUE(reader.lockFiles.empty());
  struct stat status;
  EXPECT_NE(0, ::stat((dir_.file("a.dir/") + reader.lockFileName).c_str(), &status));
  EXPECT_NE(0, ::stat((dir_.file("b.dir/") + reader.lockFileName).c_str(), &status));
}

}  // namespace
