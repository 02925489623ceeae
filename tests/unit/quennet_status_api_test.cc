// The library's exported functions: message-buffer rule, ownership of the
// status object, and the export table of libQuennet.so.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "quennet/brox_status.h"
#include "quennet/status_api.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace {

using solvarium_test::fileExists;
using solvarium_test::TempDir;
using solvarium_test::writeFile;

TEST(QuennetMessageTest, BufferRuleCutsAndTerminates) {
  char storage[8];
  char* buffer = storage;

  std::memset(storage, 'z', sizeof storage);
  EXPECT_EQ(1, quennet::deliverMessage("abc", &buffer, 8));
  EXPECT_EQ(0, std::memcmp(storage, "abc\0\0\0\0\0", 8));  // padded with NULs

  std::memset(storage, 'z', sizeof storage);
  EXPECT_EQ(1, quennet::deliverMessage("1234567", &buffer, 8));  // exactly length - 1
  EXPECT_STREQ("1234567", storage);

  std::memset(storage, 'z', sizeof storage);
  EXPECT_EQ(-1, quennet::deliverMessage("12345678", &buffer, 8));
  EXPECT_STREQ("1234567", storage);

  std::memset(storage, 'z', sizeof storage);
  EXPECT_EQ(-1, quennet::deliverMessage("x", &buffer, 1));  // only the NUL fits
  EXPECT_EQ('\0', storage[0]);
  EXPECT_EQ('z', storage[1]);

  EXPECT_EQ(1, quennet::deliverMessage("", &buffer, 1));
}

TEST(QuennetMessageTest, UnusableBufferIsNeverWritten) {
  char storage[4] = {'z', 'z', 'z', 'z'};
  char* buffer = storage;
  char* none = nullptr;
  EXPECT_EQ(-1, quennet::deliverMessage("x", &buffer, 0));
  EXPECT_EQ(-1, quennet::deliverMessage("x", &buffer, -5));
  EXPECT_EQ(-1, quennet::deliverMessage("x", &none, 4));
  EXPECT_EQ(-1, quennet::deliverMessage("x", nullptr, 4));
  EXPECT_EQ(0, std::memcmp(storage, "zzzz", 4));
}

class QuennetStatusApiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok()) << dir_.error();
    std::memset(message_, 'z', sizeof message_);
  }
  TempDir dir_;
  char message_[256];
  char* buffer_ = message_;
};

TEST_F(QuennetStatusApiTest, GetAndReleaseHandOverAndDestroyTheSnapshot) {
  ASSERT_EQ(0, ::mkdir(dir_.file("run.dir").c_str(), 0755));
  writeFile(dir_.file("run.dir/gui-err.txt"), "run False Run\n");

  BroxStatusReader* status = nullptr;
  ASSERT_EQ(0, quennet::getBroxStatus(dir_.path().c_str(), &status, &buffer_, 256));
  ASSERT_NE(nullptr, status);
  EXPECT_EQ('z', message_[0]);  // untouched on success
  EXPECT_EQ("Run", status->results.at(dir_.file("run.dir")).name);
  const std::string lock = dir_.file("run.dir/") + status->lockFileName;
  EXPECT_TRUE(fileExists(lock));  // held while the snapshot lives

  EXPECT_EQ(0, quennet::releaseBroxStatus(&status, &buffer_, 256));
  EXPECT_EQ(nullptr, status);
  EXPECT_FALSE(fileExists(lock));
  EXPECT_EQ(0, quennet::releaseBroxStatus(&status, &buffer_, 256));  // null: nothing to do
  EXPECT_EQ('z', message_[0]);
}

TEST_F(QuennetStatusApiTest, UnreadableDirectoryGivesEmptySnapshot) {
  BroxStatusReader* status = nullptr;
  ASSERT_EQ(0, quennet::getBroxStatus(dir_.file("absent").c_str(), &status, &buffer_, 256));
  ASSERT_NE(nullptr, status);
  EXPECT_TRUE(status->results.empty());
  EXPECT_TRUE(status->lockFiles.empty());
  EXPECT_EQ(0, quennet::releaseBroxStatus(&status, &buffer_, 256));
}

TEST_F(QuennetStatusApiTest, ReadErrorBecomesTheMessageAndLeavesNothingBehind) {
  ASSERT_EQ(0, ::mkdir(dir_.file("a.dir").c_str(), 0755));
  writeFile(dir_.file("a.dir/gui-err.txt"), "run False a\n");
  ASSERT_EQ(0, ::mkdir(dir_.file("b.dir").c_str(), 0755));
  writeFile(dir_.file("b.dir/gui-err.txt"), "error Licence checkout failed\n");

  BroxStatusReader* const untouched = reinterpret_cast<BroxStatusReader*>(0x1);
  BroxStatusReader* status = untouched;
  EXPECT_EQ(1, quennet::getBroxStatus(dir_.path().c_str(), &status, &buffer_, 256));
  EXPECT_EQ(untouched, status);
  EXPECT_EQ("Exception caught:\n" + dir_.file("b.dir") + ": Licence checkout failed\n",
            std::string(message_));

  BroxStatusReader probe(dir_.path().c_str());
  EXPECT_FALSE(fileExists(dir_.file("a.dir/") + probe.lockFileName));
  EXPECT_FALSE(fileExists(dir_.file("b.dir/") + probe.lockFileName));
}

TEST_F(QuennetStatusApiTest, LongErrorIsCutToTheBuffer) {
  const std::string reason(300, 'e');
  writeFile(dir_.file("x.res"), "error " + reason + "\n");
  BroxStatusReader* status = nullptr;
  EXPECT_EQ(-1, quennet::getBroxStatus(dir_.path().c_str(), &status, &buffer_, 256));
  EXPECT_EQ(nullptr, status);
  const std::string full = "Exception caught:\n" + dir_.file("x.res") + ": " + reason + "\n";
  EXPECT_EQ(full.substr(0, 255), std::string(message_));

  EXPECT_EQ(-1, quennet::getBroxStatus(dir_.path().c_str(), &status, &buffer_, 0));
  EXPECT_EQ(-1, quennet::getBroxStatus(dir_.path().c_str(), &status, nullptr, 256));
}

TEST_F(QuennetStatusApiTest, AmbiguousStateIsReportedAsAStandardException) {
  ASSERT_EQ(0, ::mkdir(dir_.file("c.dir").c_str(), 0755));
  writeFile(dir_.file("c.dir/gui-err.txt"), "run False c\n");
  writeFile(dir_.file("c.res"), "run False c\nend Converged\n");
  BroxStatusReader* status = nullptr;
  char big[1024];
  char* bigBuffer = big;
  EXPECT_EQ(1, quennet::getBroxStatus(dir_.path().c_str(), &status, &bigBuffer, sizeof big));
  EXPECT_EQ(nullptr, status);
  EXPECT_EQ("Exception caught:\n\n\nAmbiguous state:\n\t" + dir_.file("c.dir") + "\n\t" +
                dir_.file("c.res") + "\nConflict not cleared after one second\n\n",
            std::string(big));
  BroxStatusReader probe(dir_.path().c_str());
  EXPECT_FALSE(fileExists(dir_.file("c.dir/") + probe.lockFileName));
}

TEST_F(QuennetStatusApiTest, NullStatusAddressIsRefused) {
  EXPECT_EQ(1, quennet::getBroxStatus(dir_.path().c_str(), nullptr, &buffer_, 256));
  EXPECT_EQ(0, std::strncmp(message_, "Exception caught:\n", 18)) << message_;
  std::memset(message_, 'z', sizeof message_);
  EXPECT_EQ(1, quennet::releaseBroxStatus(nullptr, &buffer_, 256));
  EXPECT_EQ(0, std::strncmp(message_, "Exception caught:\n", 18)) << message_;
  EXPECT_EQ(-1, quennet::releaseBroxStatus(nullptr, &buffer_, 0));
  EXPECT_EQ(-1, quennet::releaseBroxStatus(nullptr, nullptr, 256));
}

// The built library: exactly the three entry points, callable by name.
TEST(QuennetLibraryTest, ExportsOnlyItsEntryPoints) {
  if (!fileExists(QUENNET_LIBRARY)) GTEST_SKIP() << QUENNET_LIBRARY << " not built";
  void* library = ::dlopen(QUENNET_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(nullptr, library) << ::dlerror();
  auto get = reinterpret_cast<GetBroxStatusFn>(::dlsym(library, QUENNET_GET_STATUS_SYMBOL));
  auto release =
      reinterpret_cast<ReleaseBroxStatusFn>(::dlsym(library, QUENNET_RELEASE_STATUS_SYMBOL));
  auto zemvo = reinterpret_cast<ZemvoFn>(::dlsym(library, QUENNET_SELF_TEST_SYMBOL));
  ASSERT_NE(nullptr, get);
  ASSERT_NE(nullptr, release);
  ASSERT_NE(nullptr, zemvo);
  EXPECT_EQ(nullptr, ::dlsym(library, "_ZN16BroxStatusReader7processEv"));
  EXPECT_EQ(nullptr, ::dlsym(library, "_ZN3xoq20GuiInformationReader15processNewLinesEv"));

  TempDir dir;
  ASSERT_TRUE(dir.ok());
  writeFile(dir.file("s.res"), "run False Saved\nend Converged\n");
  char message[256] = "";
  char* buffer = message;
  BroxStatusReader* status = nullptr;
  ASSERT_EQ(0, get(dir.path().c_str(), &status, &buffer, 256)) << message;
  ASSERT_NE(nullptr, status);
  ASSERT_EQ(1u, status->results.size());  // same layout on both sides
  EXPECT_EQ("Saved", status->results.begin()->second.name);
  EXPECT_EQ("Converged", status->results.begin()->second.exitReason);
  EXPECT_EQ(0, release(&status, &buffer, 256));
  EXPECT_EQ(nullptr, status);

  // Self-test in a working directory with and without a failing run.
  char previous[4096];
  ASSERT_NE(nullptr, ::getcwd(previous, sizeof previous));
  ASSERT_EQ(0, ::chdir(dir.path().c_str()));
  const int32_t clean = zemvo(nullptr);
  writeFile(dir.file("bad.res"), "error broken\n");
  const int32_t failing = zemvo(nullptr);
  ASSERT_EQ(0, ::chdir(previous));
  EXPECT_EQ(0, clean);
  EXPECT_EQ(1, failing);
  ::dlclose(library);
}

}  // namespace
