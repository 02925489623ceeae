// CCoFileSystem: servant of KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem. Whole
// files are uploaded into and downloaded from the service's working
// directory as one octet sequence. Names are confined to the working
// directory; only regular files are read or replaced; an upload replaces the
// target atomically. The solver-file operations are not offered.
//
// Ownership: created by its owner (the kind's root object, see SolverKind)
// and deleted by it. Threads: every operation runs under SerialCall, one at
// a time.
#ifndef SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_
#define SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_

#include "KORLEN_AAS_v1_0_0.hh"
#include "common/confined_file.h"
#include "service/servant_poa.h"
#include "service/solver_kind_owner.h"

namespace solvarium {

class CCoFileSystem : public Servant<POA_KORLEN_AAS_v1_0_0::Solvers::ICoFileSystem> {
 public:
  // Its errors carry the scope and texts of `texts`, which must outlive this
  // servant.
  explicit CCoFileSystem(const KindTexts& texts);
  ~CCoFileSystem() override;
  CCoFileSystem(const CCoFileSystem&) = delete;
  CCoFileSystem& operator=(const CCoFileSystem&) = delete;

  void uploadFile(const char* fileName,
                  const KORLEN_AAS_v1_0_0::Types::CoOctetBuffer& content) override;
  KORLEN_AAS_v1_0_0::Types::CoOctetBuffer* downloadFile(const char* fileName) override;
  KORLEN_AAS_v1_0_0::Types::CoStrings* getSolverFiles() override;
  void addSolverFile(const char* fileName) override;
  void removeSolverFile(const char* fileName) override;

 private:
  // The error of `operation` on `fileName` with `description`.
  KORLEN_AAS_v1_0_0::Exceptions::EUnknown fileError(const char* operation, const char* fileName,
                                                    const char* description) const;
  // Throws the operation's error for a NULL or empty name.
  void checkName(const char* operation, const char* fileName) const;
  // Throws the operation's error for a refused or failed file access: a
  // name outside the working directory has its own text, any other refusal
  // `otherwise`. The cause goes to stderr.
  void checkAccess(const char* operation, const char* fileName, const FileStatus& status,
                   const char* otherwise) const;

  const KindTexts& texts_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_SERVICE_CO_FILE_SYSTEM_H_
