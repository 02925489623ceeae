// Scan stage of BroxStatusReader: which entries of a working directory are runs.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include <gtest/gtest.h>

#include "quennet/brox_status.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::TempDir;
using solvarium_test::writeFile;

void makeDir(const std::string& path) { ASSERT_EQ(0, ::mkdir(path.c_str(), 0755)) << path; }

BroxStatusReader::CandidateMap scan(const std::string& directory) {
  BroxStatusReader reader(directory.c_str());
  reader.scanDirectory(reader.directory, 1);
  return reader.candidates;
}

TEST(QuennetScanTest, FindsTopLevelResultsAndRunDirectoriesOnly) {
  TempDir dir;
  ASSERT_TRUE(dir.ok()) << dir.error();
  writeFile(dir.file("single.res"), "");
  writeFile(dir.file("multi.mres"), "");
  writeFile(dir.file("notes.txt"), "");
  writeFile(dir.file("noextension"), "");
  writeFile(dir.file("gui-err.txt"), "");  // top level: not a run directory
  makeDir(dir.file("running.dir"));
  writeFile(dir.file("running.dir/gui-err.txt"), "");
  makeDir(dir.file("sweep"));
  writeFile(dir.file("sweep/gui-err.txt"), "");
  makeDir(dir.file("empty.dir"));  // no run information: not a run
  makeDir(dir.file("archive"));
  writeFile(dir.file("archive/old.res"), "");  // below the top level: never a candidate
  makeDir(dir.file("archive/deep.dir"));
  writeFile(dir.file("archive/deep.dir/gui-err.txt"), "");

  const BroxStatusReader::CandidateMap expected = {
      {dir.file("multi.mres"), true},
      {dir.file("running.dir"), true},
      {dir.file("single.res"), true},
      {dir.file("sweep"), true},
  };
  EXPECT_EQ(expected, scan(dir.path()));
}

TEST(QuennetScanTest, MissingOrEmptyDirectoryGivesNothing) {
  TempDir dir;
  ASSERT_TRUE(dir.ok()) << dir.error();
  EXPECT_TRUE(scan(dir.path()).empty());
  EXPECT_TRUE(scan(dir.file("absent")).empty());
  writeFile(dir.file("plain"), "");
  EXPECT_TRUE(scan(dir.file("plain")).empty());  // a file, not a directory
}

TEST(QuennetScanTest, RunInformationThatIsADirectoryDoesNotMakeARun) {
  TempDir dir;
  ASSERT_TRUE(dir.ok()) << dir.error();
  makeDir(dir.file("odd.dir"));
  makeDir(dir.file("odd.dir/gui-err.txt"));
  makeDir(dir.file("folder.res"));  // a directory named like a result file
  EXPECT_TRUE(scan(dir.path()).empty());
}

TEST(QuennetScanTest, DanglingLinkIsSkipped) {
  TempDir dir;
  ASSERT_TRUE(dir.ok()) << dir.error();
  ASSERT_EQ(0, ::symlink(dir.file("gone.res").c_str(), dir.file("link.res").c_str()));
  EXPECT_TRUE(scan(dir.path()).empty());
}

TEST(QuennetScanTest, DefaultDirectoryIsCurrentAndKeysStartWithDotSlash) {
  TempDir dir;
  ASSERT_TRUE(dir.ok()) << dir.error();
  writeFile(dir.file("a.res"), "");
  makeDir(dir.file("b.dir"));
  writeFile(dir.file("b.dir/gui-err.txt"), "");

  char previous[4096];
  ASSERT_NE(nullptr, ::getcwd(previous, sizeof previous));
  ASSERT_EQ(0, ::chdir(dir.path().c_str()));
  BroxStatusReader reader(nullptr);
  reader.scanDirectory(reader.directory, 1);
  ASSERT_EQ(0, ::chdir(previous));

  EXPECT_EQ(".", reader.directory);
  EXPECT_EQ((BroxStatusReader::CandidateMap{{"./a.res", true}, {"./b.dir", true}}),
            reader.candidates);
}

TEST(QuennetScanTest, LockFileNameCarriesProcessIdAndIsSharedWithinAProcess) {
  BroxStatusReader first(".");
  BroxStatusReader second("/elsewhere");
  EXPECT_EQ("sm.native_brox_aas." + std::to_string(::getpid()) + ".lock", first.lockFileName);
  EXPECT_EQ(first.lockFileName, second.lockFileName);
  EXPECT_EQ("/elsewhere", second.directory);
}

}  // namespace
