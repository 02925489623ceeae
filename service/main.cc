// Entry of Solvarium: "--help" and "--version", else the kinds built into
// the program, then the service.
#include <cstdio>
#include <cstring>

#include "service/run_service.h"
#include "solvers/solver_kinds.h"

namespace {

const char kUsage[] =
    "Usage: Solvarium [-solver <kind>] [-h<host>] [-p<port>] [UDF options]\n"
    "       Solvarium --help | --version\n"
    "\n"
    "Serves one running solver to remote clients over CORBA (IIOP), from the solver's\n"
    "working directory, until a shutdown call, SIGTERM, SIGINT or SIGHUP.\n"
    "\n"
    "  -solver <kind>  brox, talvo, grend or 3p_aas (UDF); only the first counts.\n"
    "                  Without it, the program name chooses: it contains\n"
    "                  \"BROXSolvarium\", \"TalvoSolvarium\", \"GrendSolvarium\", else\n"
    "                  \"Solvarium\" (UDF).\n"
    "  -h<host>        listen host, value attached (default: AAS_HOST, else all interfaces)\n"
    "  -p<port>        listen port, value attached (default: AAS_PORTS, else any free port)\n"
    "  -aas-config-file <file>  UDF: the solver description (default aas_udf_instant.xml)\n"
    "  -aas-key-file <file>     UDF: the file that receives the key (default aaSUdf_Id.txt)\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "The environment variables of each kind are listed in README.md, \"Running it by hand\".\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("Solvarium %s\n", SOLVARIUM_VERSION);
    return 0;
  }
  solvarium::registerSolverKinds();
  return solvarium::runService(argc, argv);
}
