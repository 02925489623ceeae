// "fs OP ...": ICoFileSystem, reached through
// ICoSolverUnit::getFileSystem, or directly when the key is the IOR of an
// ICoFileSystem. "upload"/"download" move whole files; "-" as the local name
// means standard input / standard output.
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

#include "common/message_limits.h"
#include "common/safe_file.h"
#include "tools/client_verbs.h"

namespace solvarium {
namespace client {

namespace {

namespace S = ::KORLEN_AAS_v1_0_0::Solvers;
using ::KORLEN_AAS_v1_0_0::Types::CoOctetBuffer;
using ::KORLEN_AAS_v1_0_0::Types::CoOctetBuffer_var;

S::ICoFileSystem_ptr fileSystem(const ClientContext& ctx) {
  S::ICoSolverUnit_var unit = S::ICoSolverUnit::_narrow(ctx.target);
  if (!CORBA::is_nil(unit)) {
    S::ICoFileSystem_var fs = unit->getFileSystem();
    requireReference(fs, "ICoFileSystem");
    return fs._retn();
  }
  return narrowTarget<S::ICoFileSystem>(ctx, "ICoSolverUnit or ICoFileSystem");
}

std::string readLocal(const std::string& path) {
  std::string data;
  if (path == "-") {
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, stdin)) > 0) data.append(buf, n);
    if (std::ferror(stdin)) throw ClientError("cannot read standard input");
    return data;
  }
  std::string error;
  if (!readWholeFile(path, &data, &error)) throw ClientError(error);
  return data;
}

void writeLocal(const std::string& path, const CoOctetBuffer& content) {
  const char* bytes = reinterpret_cast<const char*>(content.get_buffer());
  const size_t size = content.length();
  if (path == "-") {
    if (size > 0 && std::fwrite(bytes, 1, size, stdout) != size) {
      throw ClientError("cannot write to standard output");
    }
    return;
  }
  std::string error;
  if (!writeFileAtomically(path, bytes, size, &error)) throw ClientError(error);
}

void upload(ClientContext& ctx, const OperationArgs& args) {
  const std::string data = readLocal(args[0]);
  if (data.size() > kMaxTransferBytes) throw ClientError("local file too large: " + args[0]);
  const CORBA::ULong size = static_cast<CORBA::ULong>(data.size());
  CoOctetBuffer content;
  content.length(size);
  if (size > 0) std::memcpy(content.get_buffer(), data.data(), size);
  S::ICoFileSystem_var fs = fileSystem(ctx);
  fs->uploadFile(args[1].c_str(), content);
}

void download(ClientContext& ctx, const OperationArgs& args) {
  S::ICoFileSystem_var fs = fileSystem(ctx);
  CoOctetBuffer_var content = fs->downloadFile(args[0].c_str());
  writeLocal(args[1], content.in());
}

}  // namespace

std::vector<Verb> fileSystemVerbs() {
  Verb verb{"fs", "ICoFileSystem of the solver unit", {}};
  auto& ops = verb.operations;
  ops.push_back({"upload", "LOCAL REMOTE", 2, false, upload});
  ops.push_back({"download", "REMOTE LOCAL", 2, false, download});
  using I = S::ICoFileSystem;
  using O = Obj<I>;
  ops.push_back(call<I, fileSystem>("getSolverFiles", "", &O::getSolverFiles));
  ops.push_back(call<I, fileSystem>("addSolverFile", "NAME", &O::addSolverFile));
  ops.push_back(call<I, fileSystem>("removeSolverFile", "NAME", &O::removeSolverFile));
  return {verb};
}

}  // namespace client
}  // namespace solvarium
