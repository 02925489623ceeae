// Conflict stage of BroxStatusReader: run directories locked for reading, and
// a run found both in its run directory and in its result file.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "quennet/brox_status.h"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::fileExists;
using solvarium_test::TempDir;
using solvarium_test::expectThrow;
using solvarium_test::writeFile;
using Clock = std::chrono::steady_clock;

void makeRunDir(const std::string& path) {
  ASSERT_EQ(0, ::mkdir(path.c_str(), 0755)) << path;
  writeFile(path + "/gui-err.txt", "run False " + path + "\n");
}

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

class QuennetConflictTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()) << dir_.error(); }
  std::string lockIn(const BroxStatusReader& reader, const std::string& runDir) const {
    return runDir + "/" + reader.lockFileName;
  }
  TempDir dir_;
};

TEST_F(QuennetConflictTest, WithoutConflictsLocksRunDirectoriesWithoutPause) {
  makeRunDir(dir_.file("a.dir"));
  makeRunDir(dir_.file("sweep"));
  writeFile(dir_.file("done.res"), "");
  writeFile(dir_.file("other.mres"), "");

  const Clock::time_point start = Clock::now();
  {
    BroxStatusReader reader(dir_.path().c_str());
    reader.scanDirectory(reader.directory, 1);
    reader.resolveConflicts();
    EXPECT_LT(secondsSince(start), 0.5);

    for (const auto& candidate : reader.candidates) EXPECT_TRUE(candidate.second) << candidate.first;
    EXPECT_EQ((std::set<std::string>{lockIn(reader, dir_.file("a.dir")),
                                     lockIn(reader, dir_.file("sweep"))}),
              reader.lockFiles);
    EXPECT_TRUE(fileExists(lockIn(reader, dir_.file("a.dir"))));
    EXPECT_TRUE(fileExists(lockIn(reader, dir_.file("sweep"))));
  }
  // Destroying the status object takes the locks away.
  BroxStatusReader probe(dir_.path().c_str());
  EXPECT_FALSE(fileExists(lockIn(probe, dir_.file("a.dir"))));
  EXPECT_FALSE(fileExists(lockIn(probe, dir_.file("sweep"))));
}

TEST_F(QuennetConflictTest, RunDirectoryBesideItsResultIsAmbiguousAfterOneSecond) {
  makeRunDir(dir_.file("b.dir"));
  makeRunDir(dir_.file("a.dir"));  // locked before the conflict is met
  writeFile(dir_.file("b.res"), "");

  BroxStatusReader reader(dir_.path().c_str());
  const Clock::time_point start = Clock::now();
  if (const auto error =
          expectThrow<std::runtime_error>([&] { reader.process(); }, "no conflict reported")) {
    EXPECT_EQ("\n\nAmbiguous state:\n\t" + dir_.file("b.dir") + "\n\t" + dir_.file("b.res") +
                  "\nConflict not cleared after one second\n",
              std::string(error->what()));
  }
  const double waited = secondsSince(start);
  EXPECT_GE(waited, 0.9);
  EXPECT_LT(waited, 3.0);
  EXPECT_TRUE(reader.lockFiles.empty());
  EXPECT_FALSE(fileExists(lockIn(reader, dir_.file("a.dir"))));
  EXPECT_FALSE(fileExists(lockIn(reader, dir_.file("b.dir"))));
}

TEST_F(QuennetConflictTest, MultiConfigurationDirectoryBesideItsResultIsAmbiguous) {
  makeRunDir(dir_.file("sweep"));
  writeFile(dir_.file("sweep.mres"), "");

  BroxStatusReader reader(dir_.path().c_str());
  if (const auto error =
          expectThrow<std::runtime_error>([&] { reader.process(); }, "no conflict reported")) {
    const std::string text = error->what();
    EXPECT_NE(std::string::npos,
              text.find("\t" + dir_.file("sweep") + "\n\t" + dir_.file("sweep.mres") + "\n"))
        << text;
  }
  EXPECT_FALSE(fileExists(lockIn(reader, dir_.file("sweep"))));
}

TEST_F(QuennetConflictTest, RunDirectoryGoneAfterScanIsReadFromItsResult) {
  makeRunDir(dir_.file("moved.dir"));
  BroxStatusReader reader(dir_.path().c_str());
  reader.scanDirectory(reader.directory, 1);
  ASSERT_EQ(1u, reader.candidates.size());

  // The solver finishes the run: the result appears, the run directory goes.
  writeFile(dir_.file("moved.res"), "run False moved\nend Converged\n");
  ASSERT_EQ(0, ::unlink(dir_.file("moved.dir/gui-err.txt").c_str()));
  ASSERT_EQ(0, ::rmdir(dir_.file("moved.dir").c_str()));

  reader.resolveConflicts();  // pauses once: the lock cannot be made in a gone directory
  EXPECT_EQ((BroxStatusReader::CandidateMap{{dir_.file("moved.dir"), false},
                                            {dir_.file("moved.res"), true}}),
            reader.candidates);
  EXPECT_TRUE(reader.lockFiles.empty());

  reader.readStatus();
  ASSERT_EQ(1u, reader.results.size());
  const StatusRecord& record = reader.results.at(dir_.file("moved.res"));
  EXPECT_EQ("moved", record.name);
  EXPECT_TRUE(record.completed);
  EXPECT_EQ("Converged", record.exitReason);
}

TEST_F(QuennetConflictTest, RunDirectoryThatCannotBeLockedIsNotRead) {
  makeRunDir(dir_.file("stuck.dir"));
  makeRunDir(dir_.file("fine.dir"));
  BroxStatusReader reader(dir_.path().c_str());
  // A directory in place of the lock file makes its creation fail.
  ASSERT_EQ(0, ::mkdir(lockIn(reader, dir_.file("stuck.dir")).c_str(), 0755));

  const Clock::time_point start = Clock::now();
  reader.process();
  EXPECT_GE(secondsSince(start), 0.9);

  EXPECT_EQ(1u, reader.results.count(dir_.file("fine.dir")));
  EXPECT_EQ(0u, reader.results.count(dir_.file("stuck.dir")));
  EXPECT_EQ(std::set<std::string>{lockIn(reader, dir_.file("fine.dir"))}, reader.lockFiles);
  ASSERT_EQ(0, ::rmdir(lockIn(reader, dir_.file("stuck.dir")).c_str()));
}

TEST_F(QuennetConflictTest, LockFilesNeverFollowLinksNorOpenFifos) {
  // Run "linked": a symbolic link named like the lock file points at a file
  // outside. Run "fifo": a FIFO bears the lock name. Run "stale": a plain
  // file left by an earlier process with the same process id.
  makeRunDir(dir_.file("linked.dir"));
  makeRunDir(dir_.file("fifo.dir"));
  makeRunDir(dir_.file("stale.dir"));
  writeFile(dir_.file("precious.txt"), "keep me");
  {
    BroxStatusReader names(dir_.path().c_str());
    ASSERT_EQ(0, ::symlink(dir_.file("precious.txt").c_str(),
                           lockIn(names, dir_.file("linked.dir")).c_str()));
    ASSERT_EQ(0, ::mkfifo(lockIn(names, dir_.file("fifo.dir")).c_str(), 0644));
    writeFile(lockIn(names, dir_.file("stale.dir")), "old");
  }

  const Clock::time_point start = Clock::now();
  {
    BroxStatusReader reader(dir_.path().c_str());
    reader.scanDirectory(reader.directory, 1);
    reader.resolveConflicts();
    // The two directories that cannot be locked are not read (one pause each).
    EXPECT_GE(secondsSince(start), 1.9);
    EXPECT_FALSE(reader.candidates[dir_.file("linked.dir")]);
    EXPECT_FALSE(reader.candidates[dir_.file("fifo.dir")]);
    EXPECT_TRUE(reader.candidates[dir_.file("stale.dir")]);
    EXPECT_EQ(std::set<std::string>{lockIn(reader, dir_.file("stale.dir"))}, reader.lockFiles);
  }
  BroxStatusReader probe(dir_.path().c_str());
  std::ifstream precious(dir_.file("precious.txt"));
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(precious), {}), "keep me");
  struct stat status;
  ASSERT_EQ(0, ::lstat(lockIn(probe, dir_.file("linked.dir")).c_str(), &status));
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  ASSERT_EQ(0, ::lstat(lockIn(probe, dir_.file("fifo.dir")).c_str(), &status));
  EXPECT_TRUE(S_ISFIFO(status.st_mode));
  EXPECT_FALSE(fileExists(lockIn(probe, dir_.file("stale.dir"))));  // replaced, then released
}

}  // namespace
