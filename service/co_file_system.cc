#include "service/co_file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <new>
#include <vector>

#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GT = KORLEN_AAS_v1_0_0::Types;

namespace {

const char kGrendNotSupported[] = "Method is not supported in current GREND version";
const char kOutside[] = "File name is outside the working directory!";

// Real path of `path`, or "" (errno set) when it cannot be resolved.
std::string realPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string result(resolved);
  ::free(resolved);
  return result;
}

bool isUnder(const std::string& baseDir, const std::string& path) {
  if (path == baseDir) return true;
  if (baseDir == "/") return !path.empty() && path[0] == '/';
  return path.size() > baseDir.size() && path.compare(0, baseDir.size(), baseDir) == 0 &&
         path[baseDir.size()] == '/';
}

// Lexical test: relative, and no ".." component.
bool isPlainRelative(const std::string& name) {
  if (name.empty() || name[0] == '/') return false;
  std::string::size_type start = 0;
  while (start <= name.size()) {
    std::string::size_type end = name.find('/', start);
    if (end == std::string::npos) end = name.size();
    if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

std::string directoryPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? std::string(".") : name.substr(0, slash + 1);
}

std::string lastPart(const std::string& name) {
  std::string::size_type slash = name.find_last_of('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

enum class Resolution { kOk, kOutside, kMissing };

// Where `name` really lives. For an existing name that is its real path;
// otherwise the real path of its directory plus its last part.
Resolution resolveName(const std::string& name, std::string* target) {
  const std::string base = realPath(".");
  if (base.empty()) return Resolution::kMissing;
  if (!isPlainRelative(name)) return Resolution::kOutside;
  struct stat info;
  if (::lstat(name.c_str(), &info) == 0) {
    const std::string resolved = realPath(name);
    if (resolved.empty()) return Resolution::kMissing;  // dangling link
    if (!isUnder(base, resolved)) return Resolution::kOutside;
    *target = resolved;
    return Resolution::kOk;
  }
  const std::string dir = realPath(directoryPart(name));
  if (dir.empty()) return Resolution::kMissing;
  if (!isUnder(base, dir)) return Resolution::kOutside;
  const std::string leaf = lastPart(name);
  if (leaf.empty() || leaf == "." || leaf == "..") return Resolution::kMissing;
  *target = dir + (dir == "/" ? "" : "/") + leaf;
  return Resolution::kOk;
}

std::string operationText(const char* operation, const char* fileName) {
  std::string text = std::string("CCoFileSystem::") + operation + "(";
  if (fileName == nullptr) {
    text += "NULL";
  } else if (*fileName == '\0') {
    text += "''";
  } else {
    text += fileName;
  }
  return text + ")";
}

GE::EUnknown fileError(const char* operation, const char* fileName, const char* description) {
  return GE::EUnknown(1, description, "GREND Instant", "ICoFileSystem",
                      operationText(operation, fileName).c_str(), "");
}

bool writeAll(int fd, const unsigned char* data, std::uint64_t size) {
  while (size > 0) {
    const size_t chunk = size > (1u << 30) ? (1u << 30) : static_cast<size_t>(size);
    const ssize_t written = ::write(fd, data, chunk);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    data += written;
    size -= static_cast<std::uint64_t>(written);
  }
  return true;
}

bool readAll(int fd, unsigned char* data, std::uint64_t size) {
  while (size > 0) {
    const size_t chunk = size > (1u << 30) ? (1u << 30) : static_cast<size_t>(size);
    const ssize_t got = ::read(fd, data, chunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return false;  // the file shrank
    data += got;
    size -= static_cast<std::uint64_t>(got);
  }
  return true;
}

mode_t creationMode() {
  static const mode_t mode = [] {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return static_cast<mode_t>(0666 & ~mask);
  }();
  return mode;
}

}  // namespace

namespace file_access {

bool isInsideDirectory(const std::string& baseDir, const std::string& name) {
  if (!isPlainRelative(name)) return false;
  const std::string joined = baseDir + "/" + name;
  std::string resolved = realPath(joined);
  if (resolved.empty()) {
    struct stat info;
    if (::lstat(joined.c_str(), &info) == 0) return false;  // dangling link
    resolved = realPath(baseDir + "/" + directoryPart(name));
    if (resolved.empty()) return true;  // nothing there yet: lexically inside
  }
  return isUnder(baseDir, resolved);
}

}  // namespace file_access

CCoFileSystem::CCoFileSystem(int kind, SolverKindOwner* owner) : kind_(kind), owner_(owner) {
  creationMode();
}

CCoFileSystem::~CCoFileSystem() = default;

PortableServer::POA_ptr CCoFileSystem::_default_POA() { return servantPoa(); }

void CCoFileSystem::uploadFile(const char* fileName, const GT::CoOctetBuffer& content) {
  const char* op = "uploadFile";
  if (fileName == nullptr) throw fileError(op, fileName, "File name is NULL!");
  if (*fileName == '\0') throw fileError(op, fileName, "File name is empty!");
  std::string target;
  switch (resolveName(fileName, &target)) {
    case Resolution::kOutside: throw fileError(op, fileName, kOutside);
    case Resolution::kMissing: throw fileError(op, fileName, "Cannot open file for writing!");
    case Resolution::kOk: break;
  }
  mode_t mode = creationMode();
  struct stat info;
  if (::stat(target.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) throw fileError(op, fileName, "Cannot open file for writing!");
    mode = info.st_mode & 07777;
  }

  std::string pattern = directoryPart(target) + "." + lastPart(target) + ".upload.XXXXXX";
  std::vector<char> tempName(pattern.begin(), pattern.end());
  tempName.push_back('\0');
  const int fd = ::mkostemp(tempName.data(), O_CLOEXEC);
  if (fd < 0) throw fileError(op, fileName, "Cannot open file for writing!");

  bool ok = ::fchmod(fd, mode) == 0;
  ok = ok && writeAll(fd, content.get_buffer(), content.length());
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && ::rename(tempName.data(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempName.data());
    throw fileError(op, fileName, "File write operation failed!");
  }
}

GT::CoOctetBuffer* CCoFileSystem::downloadFile(const char* fileName) {
  const char* op = "downloadFile";
  if (fileName == nullptr) throw fileError(op, fileName, "File name is NULL!");
  if (*fileName == '\0') throw fileError(op, fileName, "File name is empty!");
  std::string target;
  switch (resolveName(fileName, &target)) {
    case Resolution::kOutside: throw fileError(op, fileName, kOutside);
    case Resolution::kMissing: throw fileError(op, fileName, "Cannot open file for reading!");
    case Resolution::kOk: break;
  }
  // Non-blocking, so a FIFO cannot stall the service before fstat refuses it.
  const int fd = ::open(target.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) throw fileError(op, fileName, "Cannot open file for reading!");
  struct stat info;
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    throw fileError(op, fileName, "Cannot open file for reading!");
  }
  const std::uint64_t size = static_cast<std::uint64_t>(info.st_size);
  if (size > file_access::kMaxTransferBytes) {
    ::close(fd);
    throw fileError(op, fileName, "File is too large to transfer!");
  }
  const CORBA::ULong length = static_cast<CORBA::ULong>(size);
  CORBA::Octet* buffer = nullptr;
  if (length > 0) {
    try {
      buffer = GT::CoOctetBuffer::allocbuf(length);
    } catch (const std::bad_alloc&) {
      buffer = nullptr;
    }
    if (buffer == nullptr) {
      ::close(fd);
      throw fileError(op, fileName, "Cannot allocate memory to read file!");
    }
    const bool ok = readAll(fd, buffer, size);
    if (!ok) {
      ::close(fd);
      GT::CoOctetBuffer::freebuf(buffer);
      throw fileError(op, fileName, "File read operation failed!");
    }
  }
  ::close(fd);
  return new GT::CoOctetBuffer(length, length, buffer, true);
}

GT::CoStrings* CCoFileSystem::getSolverFiles() {
  throw GE::ENotSupported(1, "ICoScripting::getSolverFiles", kGrendNotSupported);
}

void CCoFileSystem::addSolverFile(const char*) {
  throw GE::ENotSupported(1, "ICoScripting::addSolverFile", kGrendNotSupported);
}

void CCoFileSystem::removeSolverFile(const char*) {
  throw GE::ENotSupported(1, "ICoScripting::removeSolverFile", kGrendNotSupported);
}

}  // namespace solvarium
