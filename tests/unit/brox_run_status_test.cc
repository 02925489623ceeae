#include "solvers/brox/brox_run_status.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "AAS_CORBA.hh"
#include "service/process_exit.h"
#include "tests/support/expect_throw.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::expectThrow;

TEST(BroxRunStatusJsonTest, OneCompletedRunAtIndentZero) {
  BroxStatusReader::ResultMap results;
  StatusRecord& record = results["./run_001.res"];
  record.name = "run_001";
  record.completed = true;
  record.exitReason = "Converged";
  std::string text;
  BROX::writeStatusListJson(results, 0, &text);
  EXPECT_EQ(text,
            "{\n"
            "\t\"run_001.res\":\n"
            "\t{\n"
            "\t\t\"Name\":\"run_001\"\n"
            "\t\t,\"Completed\":true\n"
            "\t\t,\"ExitReason\":\"Converged\"\n"
            "\t}\n"
            "\n"
            "}\n");
}

TEST(BroxRunStatusJsonTest, SeveralRunsMultiConfigAndIndent) {
  BroxStatusReader::ResultMap results;
  results["./a.dir"].name = "a";
  StatusRecord& multi = results["b.mres"];  // a key without "./" stays whole
  multi.name = "b";
  multi.multiConfig = true;
  multi.configurations["c2"] = 2;
  multi.configurations["c1"] = 1;
  std::string text;
  BROX::writeStatusListJson(results, 1, &text);
  EXPECT_EQ(text,
            "\t{\n"
            "\t\t\"a.dir\":\n"
            "\t\t\t{\n"
            "\t\t\t\"Name\":\"a\"\n"
            "\t\t\t,\"Completed\":false\n"
            "\t\t}\n"
            "\n"
            "\t\t,\n"
            "\t\t\"b.mres\":\n"
            "\t\t\t{\n"
            "\t\t\t\"Name\":\"b\"\n"
            "\t\t\t,\"Completed\":false\n"
            "\t\t\t,\"MultiConfig\":[\"c1\",\"c2\"]\n"
            "\t\t}\n"
            "\n"
            "\t}\n");
  text.clear();
  BROX::writeStatusListJson(BroxStatusReader::ResultMap(), 0, &text);
  EXPECT_EQ(text, "{\n}\n");
}

// The answer's buffer gets exactly the bytes of the string form.
TEST(BroxRunStatusJsonTest, SizedWriterMatchesTheStringForm) {
  BroxStatusReader::ResultMap results;
  results["./a\tb.dir"].name = "a";
  StatusRecord& multi = results["./m.mres"];
  multi.multiConfig = true;
  multi.configurations["x\"y"] = 1;
  multi.completed = true;
  multi.exitReason = "\x02";
  std::string text = "kept:";
  BROX::writeStatusListJson(results, 2, &text);
  const std::size_t size = BROX::statusListJsonSize(results, 2);
  ASSERT_EQ(text.size(), size + 5);
  std::string buffer(size + 1, '#');
  EXPECT_EQ(&buffer[size], BROX::writeStatusListJson(results, 2, &buffer[0]));
  EXPECT_EQ('#', buffer[size]);
  EXPECT_EQ(text.substr(5), buffer.substr(0, size));
}

TEST(BroxRunStatusJsonTest, EveryStringValueIsEscaped) {
  BroxStatusReader::ResultMap results;
  StatusRecord& record = results["./x\"y\\z"];
  record.name = "n\"1";
  record.completed = true;
  record.exitReason = "line1\nline2\t\x01";
  record.multiConfig = true;
  record.configurations["c\"q"] = 0;
  std::string text;
  BROX::writeStatusListJson(results, 0, &text);
  EXPECT_NE(text.find("\t\"x\\\"y\\\\z\":\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\"Name\":\"n\\\"1\""), std::string::npos);
  EXPECT_NE(text.find("\"ExitReason\":\"line1\\nline2\\t\\u0001\""), std::string::npos);
  EXPECT_NE(text.find("\"MultiConfig\":[\"c\\\"q\"]"), std::string::npos);
}

// Loading the library: each case starts from an unbound state.
class BroxRunStatusLoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    BROX::TEST_resetQuennetBinding();
    const char* old = std::getenv("BROXBINDIR");
    hadBinDir_ = old != nullptr;
    if (hadBinDir_) oldBinDir_ = old;
    ASSERT_EQ(::setenv("BROXBINDIR", dir_.path().c_str(), 1), 0);
  }
  void TearDown() override {
    if (hadBinDir_) {
      ::setenv("BROXBINDIR", oldBinDir_.c_str(), 1);
    } else {
      ::unsetenv("BROXBINDIR");
    }
    BROX::TEST_resetQuennetBinding();
  }
  // Puts `content` where the library is looked for. BROXBINDIR is set too:
  // the failure's diagnostics show the live environment.
  void placeLibrary(const std::string& content) {
    ::mkdir((dir_.path() + "/linux-amd64").c_str(), 0755);
    std::ofstream(BROX::quennetLibraryPath(dir_.path()), std::ios::binary) << content;
  }

  solvarium_test::TempDir dir_;
  bool hadBinDir_ = false;
  std::string oldBinDir_;
};

TEST_F(BroxRunStatusLoadTest, MissingLibraryFailsWithDiagnosticsForTheWholeProcess) {
  const std::string path = dir_.path() + "/linux-amd64/libQuennet.so";
  EXPECT_EQ(BROX::quennetLibraryPath(dir_.path()), path);
  BROX::BroxStatusHandle handle;
  BROX::loadBroxStatus(&handle, dir_.path());
  EXPECT_EQ(handle.result, 1);
  EXPECT_EQ(handle.reader, nullptr);
  const std::string text = handle.errorText;
  EXPECT_EQ(text.rfind("Error:" + path + " file is missing!\nerrno:\n2\n", 0), 0u) << text;
  EXPECT_NE(text.find("\nerror message:\nNo such file or directory\n"), std::string::npos);
  EXPECT_NE(text.find("\nBROXBINDIR:\n" + dir_.path() + "\n"), std::string::npos);
  EXPECT_NE(text.find("\nCurrent Working Directory:\n"), std::string::npos);

  // Installing a library afterwards changes nothing: the failure is final.
  placeLibrary("not a library");
  BROX::BroxStatusHandle again;
  BROX::loadBroxStatus(&again, dir_.path());
  EXPECT_EQ(again.result, 1);
  EXPECT_EQ(again.errorText, text);

  if (const auto e = expectThrow<AAS_CORBA::BROXInstant::Exceptions::EInstantScriptError>(
          [&] { BROX::loadBroxStatusOrRaise(&again, dir_.path(), "aaS.get_storage_status"); })) {
    EXPECT_EQ(e->errorType, 1);
    EXPECT_STREQ(e->command.in(), "aaS.get_storage_status");
    EXPECT_EQ(std::string(e->errorInfo.in()), text);
    EXPECT_STREQ(e->commandOutput.in(), "");
  }
}

TEST_F(BroxRunStatusLoadTest, UnsetBinDirIsReportedAsMissingVariable) {
  ::unsetenv("BROXBINDIR");
  EXPECT_EQ(BROX::quennetLibraryPath(""), "/linux-amd64/libQuennet.so");
  BROX::BroxStatusHandle handle;
  BROX::loadBroxStatus(&handle, "");
  EXPECT_EQ(handle.result, 1);
  EXPECT_NE(handle.errorText.find("\nBROXBINDIR:\nEnvironment variable does not exist\n"),
            std::string::npos);
}

TEST_F(BroxRunStatusLoadTest, FileThatIsNoLibraryFailsToLoad) {
  placeLibrary("garbage");
  BROX::BroxStatusHandle handle;
  BROX::loadBroxStatus(&handle, dir_.path());
  EXPECT_EQ(handle.result, 1);
  const std::string path = BROX::quennetLibraryPath(dir_.path());
  EXPECT_EQ(handle.errorText.rfind("Error:Loading of " + path + " failed!\n\nerrno:\n", 0), 0u)
      << handle.errorText;
}

TEST_F(BroxRunStatusLoadTest, LibraryWithoutTheExportsFailsToBind) {
  std::ifstream in("/lib/x86_64-linux-gnu/libm.so.6", std::ios::binary);
  if (!in) GTEST_SKIP() << "no libm to stand in for a foreign library";
  placeLibrary(std::string(std::istreambuf_iterator<char>(in), {}));
  BROX::BroxStatusHandle handle;
  BROX::loadBroxStatus(&handle, dir_.path());
  EXPECT_EQ(handle.result, 1);
  const std::string path = BROX::quennetLibraryPath(dir_.path());
  EXPECT_EQ(handle.errorText, "Error:Loading of " + path + "::get_BroxStatus failed!");
}

// The lock files of a status that is still held go with the end of the process.
TEST_F(BroxRunStatusLoadTest, TheEndRemovesTheLockFilesOfAHeldStatus) {
  std::ifstream library(QUENNET_LIBRARY, std::ios::binary);
  if (!library) GTEST_SKIP() << "run-status library not built";
  placeLibrary(std::string(std::istreambuf_iterator<char>(library), {}));
  const std::string run = dir_.path() + "/r.dir";
  ASSERT_EQ(::mkdir(run.c_str(), 0755), 0);
  std::ofstream(run + "/gui-err.txt") << "run False r\n";
  EXPECT_EXIT(
      {
        if (::chdir(dir_.path().c_str()) != 0) std::_Exit(5);
        BROX::BroxStatusHandle held;
        BROX::loadBroxStatus(&held, dir_.path());
        if (held.result != 0 || solvarium_test::listDirectory(run).size() != 2) std::_Exit(6);
        solvarium::endProcess(solvarium::kExitNormal);
      },
      ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(solvarium_test::listDirectory(run), std::vector<std::string>{"gui-err.txt"});
}

TEST(BroxRunStatusTest, FailureTextMarksTruncatedMessages) {
  BROX::TEST_resetQuennetBinding();
  BROX::BroxStatusHandle handle;
  handle.errorText = std::string(255, 'x');
  handle.result = -1;
  EXPECT_EQ(BROX::statusFailureText(handle), std::string(255, 'x') + "\nTruncated message\n");
  handle.result = 1;
  EXPECT_EQ(BROX::statusFailureText(handle), std::string(255, 'x'));
  BROX::TEST_resetQuennetBinding();
}

}  // namespace
