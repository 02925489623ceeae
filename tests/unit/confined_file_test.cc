// The confined-file calls: what each refuses, with which code, path and
// errno, and that a refusal or failure leaves the previous file whole.
#include "common/confined_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/confined_path.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace solvarium {
namespace {

class ConfinedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    base_ = realPathOf(dir_.path()) + "/base";
    ASSERT_EQ(::mkdir(base_.c_str(), 0755), 0);
    outside_ = realPathOf(dir_.path()) + "/outside.txt";
    solvarium_test::writeFile(outside_, "outside");
    solvarium_test::writeFile(base_ + "/a.txt", "hello");
  }
  std::string file(const std::string& name) const { return base_ + "/" + name; }
  std::string contents(const std::string& name) const {
    std::string data;
    EXPECT_TRUE(readConfinedFile(base_, name, &data).ok()) << name;
    return data;
  }

  solvarium_test::TempDir dir_;
  std::string base_, outside_;
};

TEST_F(ConfinedFileTest, ReadAnswersTheContentsOrWhyNot) {
  std::string data;
  FileStatus status = readConfinedFile(base_, "a.txt", &data);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(data, "hello");
  EXPECT_EQ(status.path, file("a.txt"));

  ASSERT_EQ(::symlink(outside_.c_str(), file("out").c_str()), 0);
  ASSERT_EQ(::mkdir(file("dir").c_str(), 0755), 0);
  ASSERT_EQ(::mkfifo(file("fifo").c_str(), 0644), 0);
  const struct {
    std::string name;
    FileStatus::Code code;
    int error;
  } refused[] = {
      {"../outside.txt", FileStatus::kOutside, EACCES},
      {"out", FileStatus::kOutside, EACCES},
      {"", FileStatus::kOutside, EACCES},
      {"no/such/x", FileStatus::kMissing, ENOENT},
      {"none.txt", FileStatus::kOpenFailed, ENOENT},
      {"dir", FileStatus::kNotRegular, EISDIR},
      {"fifo", FileStatus::kNotRegular, EINVAL},  // refused without blocking
  };
  for (const auto& c : refused) {
    status = readConfinedFile(base_, c.name, &data);
    EXPECT_EQ(status.code, c.code) << c.name;
    EXPECT_EQ(status.error, c.error) << c.name;
    EXPECT_NE(status.message.find(status.path), std::string::npos) << status.message;
  }
  EXPECT_EQ(readConfinedFile(base_, "../outside.txt", &data).path, "../outside.txt");
  EXPECT_EQ(readConfinedFile("", "a.txt", &data).code, FileStatus::kMissing);

  status = readConfinedFile(base_, "a.txt", &data, 4);
  EXPECT_EQ(status.code, FileStatus::kTooLarge);
  EXPECT_EQ(status.error, EFBIG);
  EXPECT_EQ(status.message, "Cannot read '" + file("a.txt") + "': File too large");
}

TEST_F(ConfinedFileTest, WriteReplacesOnlyWhatItMay) {
  EXPECT_TRUE(writeConfinedFile(base_, "new.txt", "fresh").ok());
  EXPECT_EQ(contents("new.txt"), "fresh");
  EXPECT_TRUE(writeConfinedFile(base_, "a.txt", "second").ok());
  EXPECT_EQ(contents("a.txt"), "second");

  // A link inside stays a link; the file it leads to is replaced.
  ASSERT_EQ(::symlink("a.txt", file("link").c_str()), 0);
  FileStatus status = writeConfinedFile(base_, "link", "third");
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(status.path, file("a.txt"));
  struct stat info;
  ASSERT_EQ(::lstat(file("link").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
  EXPECT_EQ(contents("a.txt"), "third");

  status = writeConfinedFile(base_, "../outside.txt", "x");
  EXPECT_EQ(status.code, FileStatus::kOutside);
  std::string data;
  ASSERT_TRUE(readConfinedFile(realPathOf(dir_.path()), "outside.txt", &data).ok());
  EXPECT_EQ(data, "outside");

  ASSERT_EQ(::mkdir(file("dir.json").c_str(), 0755), 0);
  status = writableConfinedFile(base_, "dir.json");
  EXPECT_EQ(status.code, FileStatus::kNotReplaceable);
  EXPECT_EQ(status.error, EISDIR);
  EXPECT_EQ(writeConfinedFile(base_, "dir.json", "x").code, FileStatus::kNotReplaceable);
  EXPECT_EQ(writeConfinedFile(base_, "no/such/x", "x").code, FileStatus::kMissing);

  if (::geteuid() != 0) {  // root may write any file
    ASSERT_EQ(::chmod(file("a.txt").c_str(), 0444), 0);
    status = writeConfinedFile(base_, "a.txt", "fourth");
    EXPECT_EQ(status.code, FileStatus::kNotReplaceable);
    EXPECT_EQ(status.error, EACCES);
    EXPECT_EQ(contents("a.txt"), "third");
  }
  // The checks alone write nothing.
  EXPECT_TRUE(writableConfinedFile(base_, "unwritten.txt").ok());
  EXPECT_NE(::access(file("unwritten.txt").c_str(), F_OK), 0);
}

}  // namespace
}  // namespace solvarium
