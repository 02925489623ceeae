#include "common/confined_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <vector>

#include "common/confined_path.h"
#include "common/safe_file.h"
#include "platform/descriptor.h"

namespace solvarium {

namespace {

// "<what> '<path>': <detail, or the system error's text>".
FileStatus failure(FileStatus::Code code, const std::string& path, int error,
                   const std::string& what, const std::string& detail = std::string()) {
  FileStatus status;
  status.code = code;
  status.path = path;
  status.error = error;
  status.message = what + " '" + path + "': " + (detail.empty() ? std::strerror(error) : detail);
  return status;
}

FileStatus outside(const std::string& path, const std::string& baseDir) {
  return failure(FileStatus::kOutside, path, EACCES, "Refused",
                 "it lies outside '" + baseDir + "'");
}

FileStatus resolved(const std::string& baseDir, const std::string& name, std::string* target) {
  switch (baseDir.empty() ? PathResolution::kMissing : resolveInside(baseDir, name, target)) {
    case PathResolution::kOutside:
      return outside(name, baseDir);
    case PathResolution::kMissing:
      return failure(FileStatus::kMissing, name, ENOENT, "Cannot resolve");
    case PathResolution::kOk:
      break;
  }
  FileStatus status;
  status.path = *target;
  return status;
}

// Opens `target` (resolved inside `baseDir`) beneath `baseDir` with `flags`:
// the kernel refuses every step that leaves it, such as a folder on the way
// swapped for a link since the name was resolved. -1 with errno on failure
// (EXDEV for a way out).
int openInside(const std::string& baseDir, const std::string& target, int flags) {
  const int base = ::open(baseDir.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  if (base < 0) return -1;
  std::string relative = ".";
  if (target.size() > baseDir.size()) {
    relative = target.substr(baseDir == "/" ? 1 : baseDir.size() + 1);
  }
  const int fd = openBeneath(base, relative, flags);
  const int error = errno;
  ::close(base);
  errno = error;
  return fd;
}

// A file that confined writes refuse: its folder's identity and its name.
struct Protected {
  dev_t device;
  ino_t inode;
  std::string name;
};

std::mutex protectedMutex;
std::vector<Protected> protectedFiles;  // guarded by protectedMutex

bool isProtected(int dirFd, const std::string& name) {
  struct stat folder;
  if (::fstat(dirFd, &folder) != 0) return true;  // unknown: refused
  const std::lock_guard<std::mutex> lock(protectedMutex);
  for (const Protected& file : protectedFiles) {
    if (file.device == folder.st_dev && file.inode == folder.st_ino && file.name == name) {
      return true;
    }
  }
  return false;
}

// Resolves `name` for a write: the folder of the file to replace, opened
// beneath `baseDir` (`*dirFd`, for the caller to close when kOk), and the
// file's last part (`*leaf`). Refused unless the file is absent or a regular
// file we may write, the folder is writable and the file is not protected.
FileStatus targetFolder(const std::string& baseDir, const std::string& name, int* dirFd,
                        std::string* leaf) {
  std::string target;
  FileStatus status = resolved(baseDir, name, &target);
  if (!status.ok()) return status;
  if (target == baseDir) {
    return failure(FileStatus::kNotReplaceable, target, EISDIR, "Cannot replace");
  }
  const std::string::size_type slash = target.rfind('/');
  *leaf = target.substr(slash + 1);
  const int folder = openInside(baseDir, target.substr(0, slash == 0 ? 1 : slash),
                                O_PATH | O_DIRECTORY);
  if (folder < 0) {
    const int error = errno;
    if (error == EXDEV) return outside(target, baseDir);
    return failure(FileStatus::kNotReplaceable, target, error, "Cannot replace");
  }
  struct stat info;
  int error = 0;
  if (::fstatat(folder, leaf->c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0) {
    if (!S_ISREG(info.st_mode)) {
      error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    } else if (::faccessat(folder, leaf->c_str(), W_OK, 0) != 0) {
      error = errno;
    }
  }
  if (error == 0 && ::faccessat(folder, ".", W_OK, 0) != 0) error = errno;
  if (error == 0 && isProtected(folder, *leaf)) error = EPERM;
  if (error != 0) {
    ::close(folder);
    return failure(FileStatus::kNotReplaceable, target, error, "Cannot replace");
  }
  *dirFd = folder;
  return status;
}

}  // namespace

void refuseConfinedWrites(const std::string& path) {
  const std::string::size_type slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
  struct stat info;
  if (::stat(folder.c_str(), &info) != 0) return;
  const std::lock_guard<std::mutex> lock(protectedMutex);
  protectedFiles.push_back(
      {info.st_dev, info.st_ino, slash == std::string::npos ? path : path.substr(slash + 1)});
}

FileStatus openConfinedFile(const std::string& baseDir, const std::string& name, int* fd,
                            std::uint64_t* size) {
  std::string target;
  FileStatus status = resolved(baseDir, name, &target);
  if (!status.ok()) return status;
  // The resolved target has no link left: one found now was put there since.
  const int opened = openInside(baseDir, target, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
  if (opened < 0) {
    const int error = errno;
    if (error == EXDEV) return outside(target, baseDir);
    return failure(error == ELOOP ? FileStatus::kNotRegular : FileStatus::kOpenFailed, target,
                   error, "Cannot open");
  }
  struct stat info;
  int error = 0;
  if (::fstat(opened, &info) != 0) {
    error = errno;
    status = failure(FileStatus::kOpenFailed, target, error, "Cannot open");
  } else if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    status = failure(FileStatus::kNotRegular, target, error, "Not a regular file");
  }
  if (error != 0) {
    ::close(opened);
    return status;
  }
  *fd = opened;
  *size = static_cast<std::uint64_t>(info.st_size);
  return status;
}

FileStatus readConfinedFile(const std::string& baseDir, const std::string& name,
                            std::string* data, std::uint64_t maxBytes) {
  int fd = -1;
  std::uint64_t size = 0;
  const FileStatus status = openConfinedFile(baseDir, name, &fd, &size);
  if (!status.ok()) return status;
  const platform::Descriptor file(fd);
  int error = size > maxBytes ? EFBIG : 0;
  if (error == 0) {
    try {
      if (size > data->max_size()) throw std::length_error("file size");
      data->resize(static_cast<std::size_t>(size));
    } catch (const std::bad_alloc&) {
      error = ENOMEM;
    } catch (const std::length_error&) {
      error = ENOMEM;
    }
  }
  if (error != 0) return failure(FileStatus::kTooLarge, status.path, error, "Cannot read");
  const std::size_t done = file.read(&(*data)[0], data->size(), &error);
  if (done == data->size()) return status;
  data->resize(done);
  return failure(FileStatus::kReadFailed, status.path, error, "Cannot read",
                 error == 0 ? "the file ended early" : "");
}

FileStatus writableConfinedFile(const std::string& baseDir, const std::string& name) {
  int folder = -1;
  std::string leaf;
  const FileStatus status = targetFolder(baseDir, name, &folder, &leaf);
  if (status.ok()) ::close(folder);
  return status;
}

FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const void* data, std::size_t size) {
  int folder = -1;
  std::string leaf;
  FileStatus status = targetFolder(baseDir, name, &folder, &leaf);
  if (!status.ok()) return status;
  if (!writeFileAtomicallyAt(folder, leaf, status.path, data, size, &status.message)) {
    status.code = FileStatus::kWriteFailed;
    status.error = errno;
  }
  ::close(folder);
  return status;
}

FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const std::string& data) {
  return writeConfinedFile(baseDir, name, data.data(), data.size());
}

FileStatus saveConfinedFile(const std::string& name, const std::function<std::string()>& document,
                            bool* written) {
  const std::string base = workingDirectory();
  FileStatus status = writableConfinedFile(base, name);
  if (written != nullptr) *written = status.ok();
  if (status.ok()) status = writeConfinedFile(base, name, document());
  return status;
}

}  // namespace solvarium
