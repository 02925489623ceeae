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

#include "common/confined_path.h"
#include "common/safe_file.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GT = KORLEN_AAS_v1_0_0::Types;

namespace {

const char kGrendNotSupported[] = "Method is not supported in current GREND version";
const char kOutside[] = "File name is outside the working directory!";
const char kCannotWrite[] = "Cannot open file for writing!";
const char kCannotRead[] = "Cannot open file for reading!";

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

}  // namespace


namespace {

// The resolved target of operation `op` on `fileName`; throws the operation's
// error for a NULL, empty, outside or unresolvable name (`cannotOpen` text).
std::string resolveTarget(const char* op, const char* fileName, const char* cannotOpen) {
  if (fileName == nullptr) throw fileError(op, fileName, "File name is NULL!");
  if (*fileName == '\0') throw fileError(op, fileName, "File name is empty!");
  std::string target;
  switch (resolveInWorkingDirectory(fileName, &target)) {
    case PathResolution::kOutside: throw fileError(op, fileName, kOutside);
    case PathResolution::kMissing: throw fileError(op, fileName, cannotOpen);
    case PathResolution::kOk: break;
  }
  return target;
}

}  // namespace

CCoFileSystem::CCoFileSystem(int kind, SolverKindOwner*) : kind_(kind) {}

CCoFileSystem::~CCoFileSystem() = default;

PortableServer::POA_ptr CCoFileSystem::_default_POA() { return servantPoa(); }

void CCoFileSystem::uploadFile(const char* fileName, const GT::CoOctetBuffer& content) {
  const SerialCall serial;
  const char* op = "uploadFile";
  const std::string target = resolveTarget(op, fileName, kCannotWrite);
  // The rename below must not replace a file that may not be opened for writing.
  if (!isReplaceableFile(target)) throw fileError(op, fileName, kCannotWrite);
  if (!writeFileAtomically(target, content.get_buffer(), content.length(), nullptr)) {
    throw fileError(op, fileName, "File write operation failed!");
  }
}

GT::CoOctetBuffer* CCoFileSystem::downloadFile(const char* fileName) {
  const SerialCall serial;
  const char* op = "downloadFile";
  const std::string target = resolveTarget(op, fileName, kCannotRead);
  // Opened by the confinement rule once more: no link, FIFO or folder that
  // took the name's place since is read.
  const std::string base = realPathOf(".");
  const int fd = base.empty() ? -1 : openConfinedRegularFile(base, target);
  if (fd < 0) throw fileError(op, fileName, kCannotRead);
  struct stat info;
  if (::fstat(fd, &info) != 0) {
    ::close(fd);
    throw fileError(op, fileName, kCannotRead);
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
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::getSolverFiles", kGrendNotSupported);
}

void CCoFileSystem::addSolverFile(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::addSolverFile", kGrendNotSupported);
}

void CCoFileSystem::removeSolverFile(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::removeSolverFile", kGrendNotSupported);
}

}  // namespace solvarium
