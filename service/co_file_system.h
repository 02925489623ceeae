// CCoFileSystem: servant of KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem. Whole
// files are uploaded into and downloaded from the service's working
// directory as one octet sequence. Names are confined to the working
// directory; only regular files are read or replaced; an upload replaces the
// target atomically. The solver-file operations are not offered.
//
// Ownership: created with `new` by its owner (kind servant or UDF unit) and
// deleted by it. Threads: one request at a time (child POA).
#ifndef SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_
#define SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_

#include <cstdint>
#include <string>

#include "KORLEN_AAS_v1_0_0.hh"
#include "service/solver_kind_owner.h"

namespace solvarium {

class CCoFileSystem : public POA_KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem {
 public:
  // `kind` is 1..4; `owner` creates this servant and is not owned. Neither is
  // used by the file operations, and `owner` is not kept.
  CCoFileSystem(int kind, SolverKindOwner* owner);
  ~CCoFileSystem() override;
  CCoFileSystem(const CCoFileSystem&) = delete;
  CCoFileSystem& operator=(const CCoFileSystem&) = delete;

  PortableServer::POA_ptr _default_POA() override;

  void uploadFile(const char* fileName,
                  const KORLEN_AAS_v1_0_0::Types::CoOctetBuffer& content) override;
  KORLEN_AAS_v1_0_0::Types::CoOctetBuffer* downloadFile(const char* fileName) override;
  KORLEN_AAS_v1_0_0::Types::CoStrings* getSolverFiles() override;
  void addSolverFile(const char* fileName) override;
  void removeSolverFile(const char* fileName) override;

  int kind() const { return kind_; }

 private:
  int kind_;
};

namespace file_access {

// Largest file that fits one octet sequence under the ORB's message limit.
constexpr std::uint64_t kMaxTransferBytes = 4294967295ULL - 1024ULL * 1024ULL;

}  // namespace file_access

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_
