#include "service/co_file_system.h"
#include "common/confined_path.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <memory>
#include <string>

#include "common/safe_file.h"
#include "solvers/brox/brox_kind.h"
#include "tests/support/expect_throw.h"
#include "tests/support/temp_dir.h"

namespace solvarium {
namespace {

using solvarium_test::expectThrow;

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GT = KORLEN_AAS_v1_0_0::Types;

GT::CoOctetBuffer octets(const std::string& text) {
  GT::CoOctetBuffer buffer;
  buffer.length(static_cast<CORBA::ULong>(text.size()));
  for (size_t i = 0; i < text.size(); ++i) buffer[static_cast<CORBA::ULong>(i)] = text[i];
  return buffer;
}

std::string text(const GT::CoOctetBuffer& buffer) {
  return std::string(reinterpret_cast<const char*>(buffer.get_buffer()), buffer.length());
}

// Runs the servant's operations directly (no ORB) inside a fresh working
// directory, with an outside directory beside it.
class FileSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(root_.ok());
    work_ = root_.file("work");
    outside_ = root_.file("outside");
    ASSERT_EQ(mkdir(work_.c_str(), 0700), 0);
    ASSERT_EQ(mkdir(outside_.c_str(), 0700), 0);
    ASSERT_NE(getcwd(old_, sizeof old_), nullptr);
    ASSERT_EQ(chdir(work_.c_str()), 0);
    fs_.reset(new CCoFileSystem(BROX::broxKind().texts));
  }
  void TearDown() override { ASSERT_EQ(chdir(old_), 0); }

  // The description of the EUnknown that `op` raises ("" and a failure when none).
  template <typename Op>
  std::string failure(Op op, std::string* operation = nullptr) {
    const auto e = expectThrow<GE::EUnknown>(op);
    if (!e) return "";
    EXPECT_EQ(e->code, 1);
    EXPECT_STREQ(e->scope, "GREND Instant");
    EXPECT_STREQ(e->interfaceName, "ICoFileSystem");
    EXPECT_STREQ(e->moreInfo, "");
    if (operation != nullptr) *operation = e->operation.in();
    return e->description.in();
  }
  std::string download(const char* name) {
    GT::CoOctetBuffer_var content = fs_->downloadFile(name);
    return text(content.in());
  }

  solvarium_test::TempDir root_;
  std::string work_, outside_;
  char old_[4096];
  std::unique_ptr<CCoFileSystem> fs_;
};

TEST_F(FileSystemTest, RoundTripsEmptyBinaryAndSubdirectoryFiles) {
  std::string binary;
  for (int i = 0; i < 256 * 4; ++i) binary += static_cast<char>(i % 256);
  binary += "\r\n\0end";
  fs_->uploadFile("bin.dat", octets(binary));
  EXPECT_EQ(download("bin.dat"), binary);
  fs_->uploadFile("empty", octets(""));
  EXPECT_EQ(download("empty"), "");
  ASSERT_EQ(mkdir("sub", 0700), 0);
  fs_->uploadFile("sub/./a.txt", octets("a"));
  EXPECT_EQ(download("./sub/a.txt"), "a");
  fs_->uploadFile("bin.dat", octets("shorter"));
  EXPECT_EQ(download("bin.dat"), "shorter");
}

TEST_F(FileSystemTest, NamesLeavingTheWorkingDirectoryAreRefused) {
  const std::string outsideFile = outside_ + "/secret";
  ASSERT_TRUE(writeFileAtomically(outsideFile, "secret", nullptr));
  ASSERT_EQ(symlink(outside_.c_str(), "linkdir"), 0);
  ASSERT_EQ(symlink(outsideFile.c_str(), "linkfile"), 0);
  const char* kOutside = "File name is outside the working directory!";
  std::string operation;
  for (const std::string& name :
       {outsideFile, std::string("../outside/secret"), std::string("a/../../outside/secret"),
        std::string("linkdir/secret"), std::string("linkfile"), std::string("..")}) {
    EXPECT_EQ(failure([&] { download(name.c_str()); }, &operation), kOutside) << name;
    EXPECT_EQ(operation, "CCoFileSystem::downloadFile(" + name + ")");
    EXPECT_EQ(failure([&] { fs_->uploadFile(name.c_str(), octets("x")); }), kOutside) << name;
  }
  EXPECT_EQ(failure([&] { fs_->uploadFile("linkdir/new", octets("x")); }), kOutside);
  std::string content;
  ASSERT_TRUE(readWholeFile(outsideFile, &content, nullptr));
  EXPECT_EQ(content, "secret");
  EXPECT_NE(access((outside_ + "/new").c_str(), F_OK), 0);
}

TEST_F(FileSystemTest, ALinkInsideTheDirectoryIsFollowed) {
  ASSERT_TRUE(writeFileAtomically("target", "old", nullptr));
  ASSERT_EQ(symlink("target", "alias"), 0);
  EXPECT_EQ(download("alias"), "old");
  fs_->uploadFile("alias", octets("new"));
  EXPECT_EQ(download("target"), "new");
  struct stat info;
  ASSERT_EQ(lstat("alias", &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode));
}

TEST_F(FileSystemTest, NonRegularAndMissingFilesAreRefusedWithoutBlocking) {
  ASSERT_EQ(mkfifo("fifo", 0600), 0);
  ASSERT_EQ(mkdir("dir", 0700), 0);
  EXPECT_EQ(failure([&] { download("fifo"); }), "Cannot open file for reading!");
  EXPECT_EQ(failure([&] { download("dir"); }), "Cannot open file for reading!");
  EXPECT_EQ(failure([&] { download("missing"); }), "Cannot open file for reading!");
  EXPECT_EQ(failure([&] { fs_->uploadFile("fifo", octets("x")); }), "Cannot open file for writing!");
  EXPECT_EQ(failure([&] { fs_->uploadFile("dir", octets("x")); }), "Cannot open file for writing!");
  std::string operation;
  EXPECT_EQ(failure([&] { fs_->uploadFile("nodir/f", octets("x")); }, &operation),
            "Cannot open file for writing!");
  EXPECT_EQ(operation, "CCoFileSystem::uploadFile(nodir/f)");
  if (geteuid() != 0) {  // root may write any file
    ASSERT_TRUE(writeFileAtomically("readonly", "keep", nullptr));
    ASSERT_EQ(chmod("readonly", 0400), 0);
    EXPECT_EQ(failure([&] { fs_->uploadFile("readonly", octets("x")); }),
              "Cannot open file for writing!");
    EXPECT_EQ(download("readonly"), "keep");
  }
}

TEST_F(FileSystemTest, EmptyAndNullNames) {
  std::string operation;
  EXPECT_EQ(failure([&] { download(""); }, &operation), "File name is empty!");
  EXPECT_EQ(operation, "CCoFileSystem::downloadFile('')");
  EXPECT_EQ(failure([&] { fs_->uploadFile(nullptr, octets("")); }, &operation),
            "File name is NULL!");
  EXPECT_EQ(operation, "CCoFileSystem::uploadFile(NULL)");
}

TEST_F(FileSystemTest, FailedUploadKeepsTheOldFileWhole) {
  GTEST_FLAG_SET(death_test_style, "fast");  // the child keeps this working directory
  ASSERT_TRUE(writeFileAtomically("keep", "old content", nullptr));
  // In a child: a file size limit makes the write fail part way.
  auto uploadOverLimit = [&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit;
    limit.rlim_cur = limit.rlim_max = 4;
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::string description =
        failure([&] { fs_->uploadFile("keep", octets(std::string(100, 'n'))); });
    std::_Exit(description == "File write operation failed!" ? 0 : 2);
  };
  EXPECT_EXIT(uploadOverLimit(), ::testing::ExitedWithCode(0), "");
  EXPECT_EQ(download("keep"), "old content");
  DIR* dir = opendir(".");
  ASSERT_NE(dir, nullptr);
  int entries = 0;
  while (readdir(dir) != nullptr) ++entries;
  closedir(dir);
  EXPECT_EQ(entries, 3) << "a temporary file was left behind";
}

TEST_F(FileSystemTest, SolverFileOperationsAreNotOffered) {
  if (const auto e = expectThrow<GE::ENotSupported>(
          [&] { GT::CoStrings_var files = fs_->getSolverFiles(); })) {
    EXPECT_STREQ(e->command, "ICoScripting::getSolverFiles");
    EXPECT_STREQ(e->errorInfo, "Method is not supported in current GREND version");
  }
  EXPECT_THROW(fs_->addSolverFile("x"), GE::ENotSupported);
  EXPECT_THROW(fs_->removeSolverFile("x"), GE::ENotSupported);
}

TEST(InsideDirectoryTest, LexicalAndResolvedChecks) {
  solvarium_test::TempDir dir;
  ASSERT_TRUE(dir.ok());
  char* real = realpath(dir.path().c_str(), nullptr);
  const std::string base = real;
  free(real);
  using solvarium::PathResolution;
  auto check = [&](const std::string& name) {
    std::string target;
    return resolveInside(base, name, &target);
  };
  EXPECT_EQ(check("a.txt"), PathResolution::kOk);
  EXPECT_EQ(check("no/such/dir/a.txt"), PathResolution::kMissing);
  EXPECT_EQ(check("a..b"), PathResolution::kOk);
  EXPECT_EQ(check("/etc/passwd"), PathResolution::kOutside);
  ASSERT_EQ(mkdir((base + "/x").c_str(), 0755), 0);
  EXPECT_EQ(check("x/../../y"), PathResolution::kOutside);
  EXPECT_EQ(check(".."), PathResolution::kOutside);
  EXPECT_EQ(check(""), PathResolution::kOutside);
  // Absolute names and ".." are fine while they stay inside.
  std::string target;
  EXPECT_EQ(resolveInside(base, "x/../a.txt", &target), PathResolution::kOk);
  EXPECT_EQ(target, base + "/a.txt");
  EXPECT_EQ(resolveInside(base, base + "/x/b.txt", &target), PathResolution::kOk);
  EXPECT_EQ(target, base + "/x/b.txt");
  EXPECT_EQ(resolveInside(base, "../" + base.substr(base.rfind('/') + 1) + "/c", &target),
            PathResolution::kOk);
  EXPECT_EQ(target, base + "/c");
  ASSERT_EQ(symlink("/", (base + "/up").c_str()), 0);
  EXPECT_EQ(check("up/etc"), PathResolution::kOutside);
  EXPECT_EQ(check("up/new-file"), PathResolution::kOutside);
  ASSERT_EQ(symlink("/nonexistent/x", (base + "/dangling").c_str()), 0);
  EXPECT_EQ(check("dangling"), PathResolution::kMissing);
}

}  // namespace
}  // namespace solvarium
