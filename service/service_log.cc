#include "service/service_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/diagnostics.h"
#include "platform/descriptor.h"
#include "platform/end_register.h"
#include "platform/process.h"

namespace solvarium {

namespace {

void reportNotRegular(const std::string& fileName) {
  solvarium::diagnostic("Not writing '%s': not a regular file\n", fileName.c_str());
}

}  // namespace

bool appendText(const std::string& fileName, const std::string& text) {
  // No link is followed and a FIFO never blocks; a new file is the owner's alone.
  const int flags = O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK;
  const int fd = ::open(fileName.c_str(), flags, 0600);
  struct stat st;
  if (fd < 0) {
    // A link, a FIFO without a reader or a folder of that name; or a file
    // the kernel keeps from us (a read-only or protected one).
    const int error = errno;
    if (::lstat(fileName.c_str(), &st) != 0) return false;
    if (!S_ISREG(st.st_mode)) {
      reportNotRegular(fileName);
    } else {
      solvarium::diagnostic("Not writing '%s': %s\n", fileName.c_str(), std::strerror(error));
    }
    return false;
  }
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    reportNotRegular(fileName);
    ::close(fd);
    return false;
  }
  // A file someone else made or may write could be read by them, or planted.
  if (st.st_uid != ::geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    solvarium::diagnostic("Not writing '%s': another user owns it or may write it\n",
                          fileName.c_str());
    ::close(fd);
    return false;
  }
  // A second name may be a file that something runs or reads (~/.bashrc).
  if (st.st_nlink != 1) {
    solvarium::diagnostic("Not writing '%s': the file has another link\n", fileName.c_str());
    ::close(fd);
    return false;
  }
  // A record that does not fit (a full disk, the file size limit) is taken
  // back whole: the next one must not be appended to a torn one.
  int error = 0;
  if (!platform::writeAll(fd, text.data(), text.size(), &error)) {
    const bool restored = ::ftruncate(fd, st.st_size) == 0;
    solvarium::diagnostic("Cannot append to '%s': %s: %s\n", fileName.c_str(),
                          std::strerror(error),
                          restored ? "the file is left as it was" : "a part may remain");
    ::close(fd);
    return false;
  }
  return ::close(fd) == 0;
}

void printText(const std::string& text) {
  const platform::Making making;
  if (!making.allowed()) platform::waitForTheEnd();
  writeStartStdout(text);
}

std::string instantErrorFileName() {
  return "instant_aas_error_" + std::to_string(platform::currentProcessId()) + ".txt";
}

}  // namespace solvarium
