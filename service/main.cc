// Entry of Solvarium: "--help" and "--version" anywhere among the arguments,
// else the kinds built into the program, then the service.
#include <cstdio>
#include <cstring>

#include "service/process_exit.h"
#include "service/run_service.h"
#include "service/solver_kind.h"
#include "solvers/solver_kinds.h"

namespace {

const char kUsage[] =
    "Usage: Solvarium [-solver <kind>] [-h<host>] [-p<port>] [the kind's options]\n"
    "       Solvarium --help | --version\n"
    "\n"
    "Serves one running solver to remote clients over CORBA (IIOP), from the solver's\n"
    "working directory, until a shutdown call, SIGTERM, SIGINT or SIGHUP.\n"
    "\n"
    "  -solver <kind>  one of the kinds below; only the first counts. Without it,\n"
    "                  the program name chooses: the first kind below whose\n"
    "                  program name it contains.\n"
    "  -h<host>        listen host, value attached (default: AAS_HOST, else all interfaces)\n"
    "  -p<port>        listen port, value attached (default: AAS_PORTS, else any free port)\n"
    "  --help          this text\n"
    "  --version       the version\n"
    "\n"
    "Documentation: " SOLVARIUM_DOCDIR "/README.md, a UDF example in\n"
    "  " SOLVARIUM_DOCDIR "/examples/udf (installed by cmake --install).\n"
    "\n"
    "Each kind (-solver value, program name), its options and environment:\n";

}  // namespace

int main(int argc, char** argv) {
  solvarium::registerSolverKinds();
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0) {
      std::fputs((kUsage + solvarium::solverKindsUsage()).c_str(), stdout);
      return solvarium::kExitNormal;
    }
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Solvarium %s\n", SOLVARIUM_VERSION);
      return solvarium::kExitNormal;
    }
  }
  return solvarium::runService(argc, argv);
}
