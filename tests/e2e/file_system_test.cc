// Whole-file upload and download through ICoFileSystem: permissions kept on
// replace, the transfer limit, and the refusals that keep every name inside
// the working directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "platform/sanitized_build.h"
#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

// Sanitizer runtimes reserve far more address space than any limit that
// makes a large allocation fail, and end the process when one fails.
using solvarium::platform::kSanitizedBuild;

using KORLEN_AAS_v1_0_0::Types::CoOctetBuffer;
using KORLEN_AAS_v1_0_0::Types::CoOctetBuffer_var;

class FileSystemTest : public ServiceTest {
 protected:
  void SetUp() override {
    startBrox();
    fs_ = client().fileSystem();
    outside_ = workDir().substr(0, workDir().rfind('/')) + "/outside";
    ASSERT_EQ(mkdir(outside_.c_str(), 0755), 0);
    writeFile(outside_ + "/secret.txt", "outside");
  }

  Outcome upload(const std::string& name, const std::string& bytes) {
    return capture([&] {
      CoOctetBuffer buffer;
      buffer.length(static_cast<CORBA::ULong>(bytes.size()));
      if (!bytes.empty()) std::memcpy(buffer.get_buffer(), bytes.data(), bytes.size());
      fs_->uploadFile(name.c_str(), buffer);
      return std::string();
    });
  }
  Outcome download(const std::string& name) {
    return capture([&] {
      CoOctetBuffer_var buffer = fs_->downloadFile(name.c_str());
      return std::string(reinterpret_cast<const char*>(buffer->get_buffer()), buffer->length());
    });
  }
  std::map<std::string, std::string> error(const std::string& description,
                                           const std::string& operation) {
    return {{"code", "1"},
            {"description", description},
            {"scope", "GREND Instant"},
            {"interfaceName", "ICoFileSystem"},
            {"operation", operation},
            {"moreInfo", ""}};
  }

  KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem_var fs_;
  std::string outside_;
};

std::string randomBytes(size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xff);
  return s;
}

TEST_F(FileSystemTest, FilesRoundTripByteIdentical) {
  std::string all;
  for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
  all += "\r\n\n\r";
  const std::vector<std::pair<std::string, std::string>> files = {
      {"empty.bin", ""},
      {"binary.bin", all},
      {"big.bin", randomBytes(8u << 20, 7)},
  };
  for (const auto& f : files) {
    SCOPED_TRACE(f.first);
    ASSERT_TRUE(upload(f.first, f.second).ok);
    EXPECT_EQ(readFile(workFile(f.first)), f.second);
    Outcome back = download(f.first);
    ASSERT_TRUE(back.ok) << back;
    EXPECT_EQ(back.answer.size(), f.second.size());
    EXPECT_TRUE(back.answer == f.second);
  }
  // A file written by someone else downloads as it is; a name with a folder works.
  ASSERT_EQ(mkdir(workFile("sub").c_str(), 0755), 0);
  writeFile(workFile("sub/run.res"), std::string("a\0b\r\n", 5));
  EXPECT_EQ(download("sub/run.res").answer, std::string("a\0b\r\n", 5));
  ASSERT_TRUE(upload("./sub/new.txt", "x").ok);
  EXPECT_EQ(readFile(workFile("sub/new.txt")), "x");

  // An empty upload empties an existing file; a shorter one replaces it whole.
  ASSERT_TRUE(upload("binary.bin", "").ok);
  EXPECT_EQ(readFile(workFile("binary.bin")), "");
  ASSERT_TRUE(upload("big.bin", "short").ok);
  EXPECT_EQ(readFile(workFile("big.bin")), "short");
  EXPECT_EQ(download("big.bin").answer, "short");

  // A replaced file keeps its permissions: a private file, a script.
  for (mode_t mode : {0600, 0755}) {
    writeFile(workFile("kept.sh"), "old", mode);
    ASSERT_TRUE(upload("kept.sh", "new").ok);
    struct stat st;
    ASSERT_EQ(stat(workFile("kept.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, mode);
  }
}

TEST_F(FileSystemTest, MissingEmptyAndUnopenableNames) {
  EXPECT_TRUE(isException(download("missing.txt"), "EUnknown",
                          error("Cannot open file for reading!",
                                "CCoFileSystem::downloadFile(missing.txt)")));
  EXPECT_TRUE(isException(download(""), "EUnknown",
                          error("File name is empty!", "CCoFileSystem::downloadFile('')")));
  EXPECT_TRUE(isException(upload("", "x"), "EUnknown",
                          error("File name is empty!", "CCoFileSystem::uploadFile('')")));
  EXPECT_TRUE(isException(upload("nodir/x.txt", "x"), "EUnknown",
                          error("Cannot open file for writing!",
                                "CCoFileSystem::uploadFile(nodir/x.txt)")));
  EXPECT_FALSE(fileExists(workFile("nodir")));

  // Not regular files: a directory and a FIFO (which must not block the service).
  ASSERT_EQ(mkdir(workFile("dir").c_str(), 0755), 0);
  ASSERT_EQ(mkfifo(workFile("fifo").c_str(), 0644), 0);
  EXPECT_TRUE(isException(download("dir"), "EUnknown",
                          error("Cannot open file for reading!", "CCoFileSystem::downloadFile(dir)")));
  EXPECT_TRUE(isException(download("fifo"), "EUnknown",
                          error("Cannot open file for reading!", "CCoFileSystem::downloadFile(fifo)")));
  EXPECT_TRUE(isException(upload("fifo", "x"), "EUnknown",
                          error("Cannot open file for writing!", "CCoFileSystem::uploadFile(fifo)")));
  EXPECT_TRUE(isException(upload("dir", "x"), "EUnknown",
                          error("Cannot open file for writing!", "CCoFileSystem::uploadFile(dir)")));
  struct stat st;
  ASSERT_EQ(lstat(workFile("fifo").c_str(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));

  // The service's key files, by any name, are not a client's to replace.
  const std::string key = readFile(workFile("aaS_BROXSolvarium.txt"));
  const std::string instantKey = readFile(workFile("instant_aaS_BROXSolvarium.txt"));
  ASSERT_EQ(symlink("aaS_BROXSolvarium.txt", workFile("key-link").c_str()), 0);
  for (const std::string& name : {std::string("aaS_BROXSolvarium.txt"),
                                  std::string("instant_aaS_BROXSolvarium.txt"),
                                  std::string("dir/../aaS_BROXSolvarium.txt"),
                                  std::string("key-link"), workFile("aaS_BROXSolvarium.txt")}) {
    EXPECT_TRUE(isException(upload(name, "IOR:planted"), "EUnknown",
                            error("Cannot open file for writing!",
                                  "CCoFileSystem::uploadFile(" + name + ")")));
  }
  EXPECT_EQ(readFile(workFile("aaS_BROXSolvarium.txt")), key);
  EXPECT_EQ(readFile(workFile("instant_aaS_BROXSolvarium.txt")), instantKey);
  EXPECT_TRUE(upload("after.txt", "still serving").ok);
}

TEST_F(FileSystemTest, NamesOutsideTheWorkingDirectoryAreRefused) {
  // A sibling whose name begins with the working directory's name is outside.
  const std::string sibling = workDir() + "2";
  ASSERT_EQ(mkdir(sibling.c_str(), 0755), 0);
  writeFile(sibling + "/secret.txt", "outside");
  ASSERT_EQ(symlink(outside_.c_str(), workFile("escape").c_str()), 0);
  ASSERT_EQ(symlink((outside_ + "/secret.txt").c_str(), workFile("secret-link").c_str()), 0);
  ASSERT_EQ(mkdir(workFile("sub").c_str(), 0755), 0);
  writeFile(workFile("inside.txt"), "inside");

  const std::string refused = "File name is outside the working directory!";
  const std::vector<std::string> names = {
      outside_ + "/secret.txt", "../outside/secret.txt", "sub/../../outside/secret.txt", "..",
      workFile("sub/../../outside/secret.txt"), "escape/secret.txt", "secret-link",
      sibling + "/secret.txt", "../" + sibling.substr(sibling.rfind('/') + 1) + "/secret.txt"};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(isException(download(name), "EUnknown",
                            error(refused, "CCoFileSystem::downloadFile(" + name + ")")));
    EXPECT_TRUE(isException(upload(name, "overwritten"), "EUnknown",
                            error(refused, "CCoFileSystem::uploadFile(" + name + ")")));
  }
  EXPECT_TRUE(isException(upload("escape/new.txt", "x"), "EUnknown",
                          error(refused, "CCoFileSystem::uploadFile(escape/new.txt)")));

  // Nothing was written outside, nothing inside was touched.
  EXPECT_EQ(listDirectory(outside_), std::vector<std::string>{"secret.txt"});
  EXPECT_EQ(readFile(outside_ + "/secret.txt"), "outside");
  EXPECT_EQ(listDirectory(sibling), std::vector<std::string>{"secret.txt"});
  EXPECT_EQ(readFile(sibling + "/secret.txt"), "outside");
  EXPECT_EQ(readFile(workFile("inside.txt")), "inside");
  EXPECT_EQ(listDirectory(workDir()),
            (std::vector<std::string>{"aaS_BROXSolvarium.txt", "escape", "inside.txt",
                                      "instant_aaS_BROXSolvarium.txt", "secret-link", "sub"}));
  // A symlink that stays inside is fine, and so are absolute names and ".."
  // that resolve inside (a client may send the directory's absolute path).
  ASSERT_EQ(symlink("inside.txt", workFile("inner-link").c_str()), 0);
  EXPECT_EQ(download("inner-link").answer, "inside");
  EXPECT_EQ(download(workFile("inside.txt")).answer, "inside");
  EXPECT_EQ(download("sub/../inside.txt").answer, "inside");
  const std::string viaParent = "../" + workDir().substr(workDir().rfind('/') + 1) + "/sub/up.txt";
  EXPECT_TRUE(upload(viaParent, "up").ok);
  EXPECT_TRUE(upload(workFile("sub/abs.txt"), "abs").ok);
  EXPECT_EQ(readFile(workFile("sub/up.txt")), "up");
  EXPECT_EQ(readFile(workFile("sub/abs.txt")), "abs");
}

// Sparse files around the transfer limit (the ORB's message limit less
// 1 MiB): one byte over it is refused for its size, before anything is
// allocated; one at it is not. Outside the sanitizers the service runs in
// 2 GiB of address space, so the file at the limit fails to be allocated
// instead of being read and sent.
TEST_F(FileSystemTest, TransferLimitIsCheckedBeforeTheFileIsRead) {
  const uint64_t limit = 2147483647ULL - 1024 * 1024;
  if (!kSanitizedBuild) {
    service().kill();
    clearWorkDir();
    ServiceProcess::Options limited = broxOptions();
    limited.program = "/usr/bin/prlimit";
    limited.argv.insert(limited.argv.begin(), {"prlimit", "--as=2147483648", "--"});
    ASSERT_TRUE(start(limited).waitForKeyFiles(
        {"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}));
    fs_ = client().fileSystem();
  }
  for (const auto& file :
       {std::make_pair("over.bin", limit + 1), std::make_pair("at.bin", limit)}) {
    writeFile(workFile(file.first), "");
    ASSERT_EQ(truncate(workFile(file.first).c_str(), static_cast<off_t>(file.second)), 0);
  }
  EXPECT_TRUE(isException(download("over.bin"), "EUnknown",
                          error("File is too large to transfer!",
                                "CCoFileSystem::downloadFile(over.bin)")));
  if (!kSanitizedBuild) {
    EXPECT_TRUE(isException(download("at.bin"), "EUnknown",
                            error("Cannot allocate memory to read file!",
                                  "CCoFileSystem::downloadFile(at.bin)")));
  }
  EXPECT_TRUE(service().running());
}

}  // namespace
}  // namespace solvarium_test
