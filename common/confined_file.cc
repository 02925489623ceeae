#include "common/confined_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>

#include "common/confined_path.h"
#include "common/safe_file.h"

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

FileStatus resolved(const std::string& baseDir, const std::string& name, std::string* target) {
  switch (baseDir.empty() ? PathResolution::kMissing : resolveInside(baseDir, name, target)) {
    case PathResolution::kOutside:
      return failure(FileStatus::kOutside, name, EACCES, "Refused",
                     "it lies outside '" + baseDir + "'");
    case PathResolution::kMissing:
      return failure(FileStatus::kMissing, name, ENOENT, "Cannot resolve");
    case PathResolution::kOk:
      break;
  }
  FileStatus status;
  status.path = *target;
  return status;
}

}  // namespace

FileStatus openConfinedFile(const std::string& baseDir, const std::string& name, int* fd,
                            std::uint64_t* size) {
  std::string target;
  FileStatus status = resolved(baseDir, name, &target);
  if (!status.ok()) return status;
  // The resolved target has no link left: one found now was put there since.
  const int opened =
      ::open(target.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (opened < 0) {
    const int error = errno;
    return failure(error == ELOOP ? FileStatus::kNotRegular : FileStatus::kOpenFailed, target,
                   error, "Cannot open");
  }
  struct stat info;
  int error = 0;
  if (!openedInside(baseDir, opened)) {
    error = EACCES;  // a folder on the way was swapped for a link after the check
    status = failure(FileStatus::kOutside, target, error, "Refused",
                     "it lies outside '" + baseDir + "'");
  } else if (::fstat(opened, &info) != 0) {
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
  if (error != 0) {
    ::close(fd);
    return failure(FileStatus::kTooLarge, status.path, error, "Cannot read");
  }
  std::size_t done = 0;
  while (done < data->size()) {
    const ssize_t got = ::read(fd, &(*data)[done], data->size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) error = errno;
    if (got <= 0) break;
    done += static_cast<std::size_t>(got);
  }
  ::close(fd);
  if (done == data->size()) return status;
  data->resize(done);
  return failure(FileStatus::kReadFailed, status.path, error, "Cannot read",
                 error == 0 ? "the file ended early" : "");
}

FileStatus writableConfinedFile(const std::string& baseDir, const std::string& name) {
  std::string target;
  const FileStatus status = resolved(baseDir, name, &target);
  int error = 0;
  if (status.ok() && !isReplaceableFile(target, &error)) {
    return failure(FileStatus::kNotReplaceable, target, error, "Cannot replace");
  }
  return status;
}

FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const void* data, std::size_t size) {
  FileStatus status = writableConfinedFile(baseDir, name);
  if (!status.ok()) return status;
  if (!writeFileAtomically(status.path, data, size, &status.message)) {
    status.code = FileStatus::kWriteFailed;
    status.error = errno;
  }
  return status;
}

FileStatus writeConfinedFile(const std::string& baseDir, const std::string& name,
                             const std::string& data) {
  return writeConfinedFile(baseDir, name, data.data(), data.size());
}

}  // namespace solvarium
