// The confined-file calls: what each refuses, with which code, path and
// errno, and that a refusal or failure leaves the previous file whole.
#include "common/confined_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>

#include "common/confined_path.h"
#include "tests/support/files.h"
#include "tests/support/joined_threads.h"
#include "tests/support/temp_dir.h"

namespace solvarium {
namespace {

// Removes `name` in the folder open at `dirFd` and all below it, however
// long its path (removeTree() works on path strings).
void removeBeneath(int dirFd, const char* name) {
  const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) {
    ::unlinkat(dirFd, name, 0);
    return;
  }
  DIR* listing = ::fdopendir(fd);
  while (const struct dirent* entry = ::readdir(listing)) {
    const std::string child = entry->d_name;
    if (child != "." && child != "..") removeBeneath(fd, child.c_str());
  }
  ::closedir(listing);
  ::unlinkat(dirFd, name, AT_REMOVEDIR);
}

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

// A local user swaps a folder inside with a link to a folder outside, in a
// loop, while files are read and written through it. The outside folder's
// real path is over PATH_MAX long, so its location cannot be read back
// from /proc.
TEST_F(ConfinedFileTest, AFolderSwappedForALinkNeverLeadsOutside) {
  const std::string root = realPathOf(dir_.path());
  const std::string part(250, 'd');
  const int rootFd = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(rootFd, 0);
  // root/deep/ddd.../ddd... 18 levels; root/hop1 leads 9 levels down, hop2 there the rest.
  std::string chain = "deep", rest;
  ASSERT_EQ(::mkdirat(rootFd, "deep", 0755), 0);
  int level = ::openat(rootFd, "deep", O_PATH | O_DIRECTORY | O_CLOEXEC);
  for (int i = 0; i < 18; ++i) {
    ASSERT_EQ(::mkdirat(level, part.c_str(), 0755), 0);
    if (i < 9) {
      chain += "/" + part;
    } else {
      rest += (rest.empty() ? "" : "/") + part;
    }
    const int next = ::openat(level, part.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    ::close(level);
    level = next;
  }
  ::close(level);
  ASSERT_EQ(::symlinkat(chain.c_str(), rootFd, "hop1"), 0);
  ASSERT_EQ(::symlinkat(rest.c_str(), rootFd, (chain + "/hop2").c_str()), 0);
  const std::string far = root + "/hop1/hop2";
  solvarium_test::writeFile(far + "/f", "outside");
  ASSERT_EQ(::mkdir(file("sub").c_str(), 0755), 0);
  solvarium_test::writeFile(file("sub/f"), "inside");
  ASSERT_EQ(::symlink("../hop1/hop2", file("swap").c_str()), 0);
  ASSERT_EQ(solvarium_test::readFile(file("swap/f")), "outside");

  std::atomic<bool> stop{false};
  {
    solvarium_test::JoinedThreads swapper([&] { stop = true; });
    swapper.start([&] {
      while (!stop) {
        ::renameat2(AT_FDCWD, file("sub").c_str(), AT_FDCWD, file("swap").c_str(),
                    RENAME_EXCHANGE);
      }
    });
    int inside = 0, leaked = 0, written = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end) {
      std::string data;
      if (readConfinedFile(base_, "sub/f", &data).ok()) (data == "inside" ? inside : leaked)++;
      written += writeConfinedFile(base_, "sub/new.txt", "x").ok();
    }
    EXPECT_EQ(leaked, 0);
    EXPECT_GT(inside, 0);
    EXPECT_GT(written, 0);
  }
  EXPECT_EQ(solvarium_test::listDirectory(far), std::vector<std::string>{"f"});
  EXPECT_EQ(solvarium_test::readFile(far + "/f"), "outside");
  removeBeneath(rootFd, "deep");
  ::close(rootFd);
}

}  // namespace
}  // namespace solvarium
