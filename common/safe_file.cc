#include "common/safe_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "platform/descriptor.h"
#include "platform/end_register.h"
#include "platform/process.h"
#include "platform/random_bytes.h"

namespace solvarium {
namespace {

// Temporary files are named kTemporaryPrefix + writer's pid + "-XXXXXX".
const char kTemporaryPrefix[] = ".solvarium-tmp-";
const std::size_t kUniqueChars = 6;

// The writer's process id of a temporary file's name; false for any other name.
bool temporaryFileWriter(const std::string& name, long* pid) {
  const std::size_t prefix = sizeof kTemporaryPrefix - 1;
  if (name.compare(0, prefix, kTemporaryPrefix) != 0) return false;
  const std::size_t dash = name.find('-', prefix);
  if (dash == std::string::npos || name.size() != dash + 1 + kUniqueChars) return false;
  const std::string digits = name.substr(prefix, dash - prefix);
  return digits.find_first_not_of("0123456789") == std::string::npos &&
         platform::parsePid(digits, pid);
}

// Creates a new temporary file in the folder open at `dirFd` with `mode`
// (less the umask) and opens it for writing; its name goes to `name`. -1
// with errno when none could be made.
int createTemporaryFile(int dirFd, mode_t mode, std::string* name) {
  static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  const std::string prefix =
      kTemporaryPrefix + std::to_string(platform::currentProcessId()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    unsigned char bits[kUniqueChars];
    if (!platform::randomBytes(bits, sizeof bits)) return -1;
    *name = prefix;
    for (unsigned char bit : bits) *name += kChars[bit % (sizeof kChars - 1)];
    const int fd = ::openat(dirFd, name->c_str(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Also leaves `err` in errno for the caller.
void setError(std::string* error, const std::string& what, const std::string& path, int err) {
  if (error) *error = what + " '" + path + "': " + std::strerror(err);
  errno = err;
}

}  // namespace

bool writeFileAtomically(const std::string& path, const std::string& data, std::string* error,
                         FileMode mode) {
  return writeFileAtomically(path, data.data(), data.size(), error, mode);
}

bool writeFileAtomically(const std::string& path, const void* data, size_t size,
                         std::string* error, FileMode mode) {
  std::string dir = ".";
  const std::string::size_type slash = path.rfind('/');
  if (slash != std::string::npos) dir = slash == 0 ? "/" : path.substr(0, slash);
  const int dirFd = ::open(dir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) {
    setError(error, "Cannot create temporary file for", path, errno);
    return false;
  }
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  const bool written = writeFileAtomicallyAt(dirFd, name, path, data, size, error, mode);
  const int err = errno;
  ::close(dirFd);
  errno = err;
  return written;
}

bool writeFileAtomicallyAt(int dirFd, const std::string& name, const std::string& path,
                           const void* data, size_t size, std::string* error, FileMode mode) {
  // The permissions are set before the rename, so the file is never seen
  // with others: a new file gets what a plain fopen() would give (the
  // kernel applies the umask), a replaced one keeps its own.
  struct stat old;
  const bool keepOld = mode == FileMode::kAsBefore && ::fstatat(dirFd, name.c_str(), &old, 0) == 0;
  const bool setMode = mode == FileMode::kOwnerOnly || keepOld;
  const mode_t permissions = keepOld ? (old.st_mode & 07777) : 0600;
  std::string temporary;
  std::optional<platform::EndFile> endFile;  // the end of the process removes it
  int fd = -1;
  errno = ECANCELED;  // the process is ending
  {
    const platform::Making making;
    if (!making.allowed()) platform::waitForTheEnd();
    if (making.allowed()) fd = createTemporaryFile(dirFd, setMode ? 0600 : 0666, &temporary);
    if (fd >= 0) endFile.emplace(dirFd, temporary);
  }
  if (fd < 0) {
    setError(error, "Cannot create temporary file for", path, errno);
    return false;
  }
  // Removes the temporary file; `what` failed with `err`.
  const auto fail = [&](const char* what, int err) {
    ::unlinkat(dirFd, temporary.c_str(), 0);
    setError(error, what, path, err);
    return false;
  };
  int err = 0;
  if (!platform::writeAll(fd, data, size, &err) || (setMode && ::fchmod(fd, permissions) != 0) ||
      ::fsync(fd) != 0) {
    if (err == 0) err = errno;
    ::close(fd);
    return fail("Cannot write", err);
  }
  if (::close(fd) != 0) return fail("Cannot close", errno);
  // Once the end has begun the previous file stays.
  const platform::Making making;
  if (!making.allowed()) platform::waitForTheEnd();
  if (!making.allowed()) return fail("Cannot replace", ECANCELED);
  if (::renameat(dirFd, temporary.c_str(), dirFd, name.c_str()) != 0) {
    return fail("Cannot replace", errno);
  }
  return true;
}

bool readWholeFile(const std::string& path, std::string* data, std::string* error) {
  const platform::Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!file.ok()) {
    setError(error, "Cannot open", path, errno);
    return false;
  }
  struct stat st;
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    if (error) *error = "Not a regular file '" + path + "'";
    return false;
  }
  // Read straight into the string, sized from the file's size (grown if the
  // file grows meanwhile), so that a large file is held once.
  data->clear();
  size_t used = 0;
  data->resize(static_cast<size_t>(st.st_size) + 1);
  for (;;) {
    if (used == data->size()) data->resize(used + used / 2 + 65536);
    const size_t room = data->size() - used;
    int err = 0;
    const size_t got = file.read(&(*data)[used], room, &err);
    used += got;
    if (err != 0) {
      data->clear();
      setError(error, "Cannot read", path, err);
      return false;
    }
    if (got < room) break;  // the end of the file
  }
  data->resize(used);
  return true;
}

void removeStaleTemporaryFiles(const std::string& dir) {
  DIR* listing = ::opendir(dir.c_str());
  if (listing == nullptr) return;
  const long self = platform::currentProcessId();
  while (const struct dirent* entry = ::readdir(listing)) {
    long pid = 0;
    if (!temporaryFileWriter(entry->d_name, &pid)) continue;
    // This process has none in flight yet: one with its id is an earlier
    // process's that had the same id.
    if (pid != self && platform::isProcessAlive(pid)) continue;
    // The entry itself is looked at and removed, never what a link leads to.
    struct stat st;
    if (::fstatat(::dirfd(listing), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISREG(st.st_mode)) {
      ::unlinkat(::dirfd(listing), entry->d_name, 0);
    }
  }
  ::closedir(listing);
}

}  // namespace solvarium
