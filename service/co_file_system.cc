#include "service/co_file_system.h"

#include <new>

#include "common/confined_file.h"
#include "common/confined_path.h"
#include "common/diagnostics.h"
#include "common/message_limits.h"
#include "platform/descriptor.h"
#include "service/servant_poa.h"

namespace solvarium {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace GT = KORLEN_AAS_v1_0_0::Types;

namespace {

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

}  // namespace

CCoFileSystem::CCoFileSystem(const KindTexts& texts) : texts_(texts) {}

CCoFileSystem::~CCoFileSystem() = default;

GE::EUnknown CCoFileSystem::fileError(const char* operation, const char* fileName,
                                      const char* description) const {
  return GE::EUnknown(1, description, texts_.fileSystemScope.c_str(), "ICoFileSystem",
                      operationText(operation, fileName).c_str(), "");
}

void CCoFileSystem::checkName(const char* op, const char* fileName) const {
  if (fileName == nullptr) throw fileError(op, fileName, "File name is NULL!");
  if (*fileName == '\0') throw fileError(op, fileName, "File name is empty!");
}

void CCoFileSystem::checkAccess(const char* op, const char* fileName, const FileStatus& status,
                                const char* otherwise) const {
  if (status.ok()) return;
  solvarium::diagnostic("%s\n", status.message.c_str());
  throw fileError(op, fileName, status.code == FileStatus::kOutside ? kOutside : otherwise);
}

void CCoFileSystem::uploadFile(const char* fileName, const GT::CoOctetBuffer& content) {
  const SerialCall serial;
  const char* op = "uploadFile";
  checkName(op, fileName);
  const FileStatus status =
      writeConfinedFile(workingDirectory(), fileName, content.get_buffer(), content.length());
  checkAccess(op, fileName, status,
              status.code == FileStatus::kWriteFailed ? "File write operation failed!"
                                                      : kCannotWrite);
}

GT::CoOctetBuffer* CCoFileSystem::downloadFile(const char* fileName) {
  const SerialCall serial;
  const char* op = "downloadFile";
  checkName(op, fileName);
  int fd = -1;
  std::uint64_t size = 0;
  checkAccess(op, fileName, openConfinedFile(workingDirectory(), fileName, &fd, &size),
              kCannotRead);
  const platform::Descriptor file(fd);
  if (size > kMaxTransferBytes) throw fileError(op, fileName, "File is too large to transfer!");
  const CORBA::ULong length = static_cast<CORBA::ULong>(size);
  CORBA::Octet* buffer = nullptr;
  if (length > 0) {
    try {
      buffer = GT::CoOctetBuffer::allocbuf(length);
    } catch (const std::bad_alloc&) {
      buffer = nullptr;
    }
    if (buffer == nullptr) throw fileError(op, fileName, "Cannot allocate memory to read file!");
    int error = 0;
    if (file.read(buffer, length, &error) != length) {  // a read error, or the file shrank
      GT::CoOctetBuffer::freebuf(buffer);
      throw fileError(op, fileName, "File read operation failed!");
    }
  }
  return new GT::CoOctetBuffer(length, length, buffer, true);
}

GT::CoStrings* CCoFileSystem::getSolverFiles() {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::getSolverFiles",
                          texts_.solverFilesNotSupported.c_str());
}

void CCoFileSystem::addSolverFile(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::addSolverFile",
                          texts_.solverFilesNotSupported.c_str());
}

void CCoFileSystem::removeSolverFile(const char*) {
  const SerialCall serial;
  throw GE::ENotSupported(1, "ICoScripting::removeSolverFile",
                          texts_.solverFilesNotSupported.c_str());
}

}  // namespace solvarium
