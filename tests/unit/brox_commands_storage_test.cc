// Listings of run folders and of .res, .def and .out files.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>

#include "AAS_CORBA.hh"
#include "solvers/brox/brox_storage_commands.h"
#include "solvers/brox/brox_will.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_programs.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/brox_commands_test_util.h"

namespace {

namespace Exc = AAS_CORBA::BROXInstant::Exceptions;
using Tokens = std::vector<std::string>;
using brox_test::makeDir;
using brox_test::writeFile;
using solvarium_test::expectThrow;

// Lines of a listing, sorted (the directory order is the platform's).
std::vector<std::string> sortedLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  std::sort(lines.begin(), lines.end());
  return lines;
}

class BroxStorageListingTest : public ::testing::Test {
 protected:
  BroxStorageListingTest()
      : cwd_(work_.path()) {}

  template <typename Listing>
  std::string run(Listing listing, const Tokens& tokens) {
    std::string text;
    for (const auto& t : tokens) text += (text.empty() ? "" : " ") + t;
    std::string result;
    listing(result, tokens, text);
    return result;
  }

  // The example tree: runs at the top and one folder down, look-alikes that
  // must not be listed, and entries too deep.
  void makeTree() {
    makeDir("run_001.dir");
    makeDir("run_001.dir/x.dir");  // inside a listed run: never entered
    makeDir("my run.dir");
    makeDir("RUN.DIR");  // case counts
    writeFile("x.dir", "");  // a file, not a folder
    makeDir("y.res");        // a folder, not a file
    writeFile("top.res", "");
    writeFile("top.def", "");
    writeFile("top.out", "");
    writeFile("back\\slash.res", "");
    makeDir("study");
    makeDir("study/a.dir");
    writeFile("study/b.res", "");
    writeFile("study/c.def", "");  // .def only at the top
    writeFile("study/d.out", "");
    makeDir("study/deep");
    makeDir("study/deep/e.dir");  // two levels down
    writeFile("study/deep/f.res", "");
    // An entry whose status cannot be read is skipped.
    ASSERT_EQ(::symlink("missing-target", "broken.res"), 0);
    ASSERT_EQ(::symlink("missing-target", "broken.dir"), 0);
  }

  solvarium_test::TempDir work_;
  brox_test::ScopedCwd cwd_;
};

TEST_F(BroxStorageListingTest, EmptyDirectoryListsNothing) {
  ASSERT_TRUE(cwd_.ok());
  EXPECT_EQ(run(&BROX::listDirectories, {"aaS.list_brox_directories"}), "");
  EXPECT_EQ(run(&BROX::listResFiles,
                {"aaS.list_brox_res_files", "mdef-session", "study"}),
            "");
  EXPECT_EQ(run(&BROX::listDefFiles, {"aaS.list_brox_def_files"}), "");
  EXPECT_EQ(run(&BROX::listOutFiles, {"aaS.list_brox_out_files"}), "");
}

TEST_F(BroxStorageListingTest, ListingsFollowSuffixAndDepth) {
  makeTree();
  using Lines = std::vector<std::string>;
  EXPECT_EQ(sortedLines(run(&BROX::listDirectories, {"aaS.list_brox_directories"})),
            (Lines{"./my run.dir", "./run_001.dir", "./study/a.dir"}));
  EXPECT_EQ(sortedLines(run(&BROX::listResFiles, {"aaS.list_brox_res_files"})),
            (Lines{"./back\\slash.res", "./study/b.res", "./top.res"}));
  EXPECT_EQ(run(&BROX::listDefFiles, {"aaS.list_brox_def_files"}), "./top.def\n");
  EXPECT_EQ(sortedLines(run(&BROX::listOutFiles, {"aaS.list_brox_out_files"})),
            (Lines{"./study/d.out", "./top.out"}));

  // Matches of a folder come before those of its subfolders.
  const std::string dirs =
      run(&BROX::listDirectories, {"aaS.list_brox_directories"});
  EXPECT_GT(dirs.find("./study/a.dir"), dirs.find("./run_001.dir"));
  EXPECT_GT(dirs.find("./study/a.dir"), dirs.find("./my run.dir"));
}

TEST_F(BroxStorageListingTest, SessionFilterKeepsOneFolderWithoutSuffix) {
  makeTree();
  makeDir("study/g.dir");
  const std::string dirs = run(&BROX::listDirectories,
                               {"aaS.list_brox_directories", "mdef-session", "study"});
  EXPECT_EQ(sortedLines(dirs), (std::vector<std::string>{"./study/a", "./study/g"}));
  EXPECT_NE(dirs.back(), '\n');
  EXPECT_EQ(run(&BROX::listResFiles,
                {"aaS.list_brox_res_files", "mdef-session", "study"}),
            "./study/b");
  EXPECT_EQ(run(&BROX::listResFiles,
                {"aaS.list_brox_res_files", "mdef-session", "none"}),
            "");
}

TEST_F(BroxStorageListingTest, InvalidArgumentsAreScriptErrors) {
  const std::vector<std::pair<Tokens, std::string>> cases = {
      {{"aaS.list_brox_res_files", "mdef-session"},
       "command [aaS.list_brox_res_files mdef-session] is invalid"},
      {{"aaS.list_brox_directories", "session", "s"},
       "command [aaS.list_brox_directories session s] is invalid"},
      {{"aaS.list_brox_directories", "mdef-session", "s", "t"},
       "command [aaS.list_brox_directories mdef-session s t] is invalid"},
  };
  for (const auto& c : cases) {
    const auto e = expectThrow<Exc::EInstantScriptError>(
        [&] {
          run(c.first[0] == "aaS.list_brox_res_files" ? &BROX::listResFiles
                                                      : &BROX::listDirectories,
              c.first);
        },
        c.second);
    if (e) {
      EXPECT_EQ(e->errorType, 1);
      EXPECT_STREQ(e->errorInfo.in(), c.second.c_str());
    }
  }
  if (const auto e = expectThrow<Exc::EInstantScriptError>([&] {
        run(&BROX::listOutFiles, {"aaS.list_brox_out_files", "x"});
      })) {
    EXPECT_STREQ(e->errorInfo.in(), "command [aaS.list_brox_out_files x] does not have parameters");
    EXPECT_STREQ(e->command.in(), "aaS.list_brox_out_files x");
  }
  if (const auto e = expectThrow<Exc::EInstantScriptError>([&] {
        run([](std::string& result, const Tokens& tokens, const std::string& text) {
          BROX::ReportPlotWill().retrieve(result, tokens, text);
        }, {"aaS.retrieve_will", "x"});
      })) {
    EXPECT_STREQ(e->errorInfo.in(), "command [aaS.retrieve_will] does not have parameters");
  }
}

TEST_F(BroxStorageListingTest, MissingFolderIsAnAccessError) {
  std::string result;
  if (const auto e = expectThrow<Exc::EInstantScriptError>(
          [&] { BROX::list_folders(result, "./no-such-folder", ".dir", 1); })) {
    EXPECT_STREQ(e->command.in(), "list_folders");
    EXPECT_STREQ(e->errorInfo.in(), "Error accesing BROX main directory");
  }
  EXPECT_THROW(BROX::list_files(result, "./no-such-folder", ".res", 1),
               Exc::EInstantScriptError);
  EXPECT_TRUE(BROX::endsWith("a.dir", ".dir"));
  EXPECT_TRUE(BROX::endsWith("a", ""));
  EXPECT_FALSE(BROX::endsWith("dir", ".dir"));
}

}  // namespace
