// Entry of Solvarium: "--help" and "--version" anywhere among the arguments,
// else the kinds built into the program, then the service.
#include <cstdio>
#include <cstring>

#include "service/run_service.h"
#include "service/solver_kind.h"
#include "solvers/solver_kinds.h"

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--version") == 0) {
      std::printf("Solvarium %s\n", SOLVARIUM_VERSION);
      return 0;
    }
    if (std::strcmp(argv[i], "--help") != 0) continue;
    solvarium::registerSolverKinds();
    std::fputs(("Usage: Solvarium [-solver <kind>] [-h<host>] [-p<port>] [the kind's options]\n"
                "       Solvarium --help | --version\n"
                "\n"
                "Serves one running solver to remote clients over CORBA (IIOP), from the solver's\n"
                "working directory, until a shutdown call, SIGTERM, SIGINT or SIGHUP.\n"
                "\n" +
                solvarium::solverKindsUsage(
                    "  -h<host>        listen host, value attached (default: AAS_HOST, else all "
                    "interfaces)\n"
                    "  -p<port>        listen port, value attached (default: AAS_PORTS, else any "
                    "free port)\n"
                    "  --help          this text\n"
                    "  --version       the version\n"))
                   .c_str(),
               stdout);
    return 0;
  }
  solvarium::registerSolverKinds();
  return solvarium::runService(argc, argv);
}
