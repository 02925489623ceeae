#include "service/start_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "service/solver_kind.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/grend/grend_kind.h"
#include "solvers/instant_kind.h"
#include "solvers/solver_kinds.h"
#include "solvers/talvo/talvo_kind.h"
#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_kind.h"

namespace solvarium {
namespace {

using AAS_UDF::udfConfigFileName;
using AAS_UDF::udfKeyFileName;

// The server name of the kind that the arguments choose; "" for none.
std::string kindOf(std::vector<const char*> args) {
  registerSolverKinds();
  const SolverKindRecord* record = chooseSolverKind(static_cast<int>(args.size()), args.data());
  return record != nullptr ? record->serverName : "";
}

ListenEndpoint endpointOf(std::vector<const char*> args, const char* ports, const char* host) {
  return listenEndpoint(static_cast<int>(args.size()), args.data(), ports, host);
}

TEST(SolverKindChoice, SolverOptionDecidesWhateverTheProgramName) {
  EXPECT_EQ(kindOf({"/opt/x/TalvoSolvarium", "-solver", "grend"}), "GrendSolvarium");
  EXPECT_EQ(kindOf({"foo", "-solver", "brox"}), "BROXSolvarium");
  EXPECT_EQ(kindOf({"foo", "-solver", "talvo"}), "TalvoSolvarium");
  EXPECT_EQ(kindOf({"foo", "-x", "-solver", "3p_aas"}), "Solvarium");
}

TEST(SolverKindChoice, OnlyTheFirstSolverOptionCounts) {
  EXPECT_EQ(kindOf({"foo", "-solver", "brox", "-solver", "talvo"}), "BROXSolvarium");
  EXPECT_EQ(kindOf({"foo", "-solver", "Grend", "-solver", "talvo"}), "");
  EXPECT_EQ(kindOf({"GrendSolvarium", "-solver", "nope", "-solver", "talvo"}), "GrendSolvarium");
}

TEST(SolverKindChoice, ProgramNameDecidesWithoutAUsableSolverOption) {
  EXPECT_EQ(kindOf({"C:\\bin\\BROXSolvarium.exe"}), "BROXSolvarium");
  EXPECT_EQ(kindOf({"/usr/bin/TalvoSolvarium", "-solver"}), "TalvoSolvarium");
  EXPECT_EQ(kindOf({"./GrendSolvarium"}), "GrendSolvarium");
  EXPECT_EQ(kindOf({"/build/Solvarium"}), "Solvarium");
  EXPECT_EQ(kindOf({"mySolvariumX", "-solver", "BROX"}), "Solvarium");
  EXPECT_EQ(kindOf({"solvarium"}), "");  // case-sensitive
  EXPECT_EQ(kindOf({"foo"}), "");
  EXPECT_EQ(chooseSolverKind(0, nullptr), nullptr);
  const char* nullProgram[] = {nullptr};
  EXPECT_EQ(chooseSolverKind(1, nullProgram), nullptr);
}

TEST(ServerNames, PerKind) {
  EXPECT_EQ(BROX::broxKind().serverName, "BROXSolvarium");
  EXPECT_EQ(AAS_UDF::udfKind().serverName, "Solvarium");
  EXPECT_FALSE(BROX::broxKind().needsSessionManager);
  EXPECT_TRUE(TALVO::talvoKind().needsSessionManager);
  EXPECT_TRUE(GREND::grendKind().needsSessionManager);
  EXPECT_FALSE(AAS_UDF::udfKind().needsSessionManager);
}

TEST(ListenEndpointChoice, DefaultsAndEnvironment) {
  ListenEndpoint e = endpointOf({"x"}, nullptr, nullptr);
  EXPECT_EQ(e.host, "");
  EXPECT_EQ(e.port, "0");
  e = endpointOf({"x"}, "", "");
  EXPECT_EQ(e.port, "0");
  EXPECT_EQ(e.host, "");
  e = endpointOf({"x"}, "5000", "127.0.0.1");
  EXPECT_EQ(e.port, "5000");
  EXPECT_EQ(e.host, "127.0.0.1");
}

TEST(ListenEndpointChoice, JoinedOptionsOverrideAndTheLastWins) {
  ListenEndpoint e = endpointOf({"x", "-p6000", "-p7000", "-hlocalhost"}, "5000", "h");
  EXPECT_EQ(e.port, "7000");
  EXPECT_EQ(e.host, "localhost");
  // A bare option or a separate value changes nothing; argv[0] is not looked at.
  e = endpointOf({"-p9", "-p", "6000", "-h"}, "5000", "h");
  EXPECT_EQ(e.port, "5000");
  EXPECT_EQ(e.host, "h");
  // Anything that begins with -h and is longer sets the host.
  e = endpointOf({"x", "-help"}, nullptr, nullptr);
  EXPECT_EQ(e.host, "elp");
}

TEST(OrbArguments, OwnEndpointAndFixedOptionsOnly) {
  const std::vector<std::string> args = orbArguments("BROXSolvarium", {"", "0"});
  const std::vector<std::string> expected = {
      "BROXSolvarium",          "-ORBendPoint",       "giop:tcp::0",
      "-ORBgiopMaxMsgSize",     "2147483647",         "-ORBnativeCharCodeSet",
      "UTF-8",                  "-ORBclientConnectTimeOutPeriod", "0",
      "-ORBclientCallTimeOutPeriod", "10000", "-ORBsupportPerThreadTimeOut", "1",
      "-ORBserverCallTimeOutPeriod", "120000",
      "-ORBmaxServerThreadPerConnection", "1",
      "-ORBthreadPerConnectionUpperLimit", "1073741824",
      "-ORBthreadPerConnectionLowerLimit", "1073741823",
      "-ORBinConScanPeriod", "120", "-ORBscanGranularity", "5"};
  EXPECT_EQ(args, expected);
  EXPECT_EQ(orbArguments("S", {"127.0.0.1", "4711"})[2], "giop:tcp:127.0.0.1:4711");
}

TEST(KeyFileNames, InstantTwinGoesBeforeTheLastComponent) {
  EXPECT_EQ(instantTwinName("aaS_BROXSolvarium.txt"), "instant_aaS_BROXSolvarium.txt");
  EXPECT_EQ(instantTwinName("keys/sub/k.txt"), "keys/sub/instant_k.txt");
  EXPECT_EQ(instantTwinName("C:\\keys\\k.txt"), "C:\\keys\\instant_k.txt");
  EXPECT_EQ(instantTwinName("a/b\\c"), "a/b\\instant_c");
  EXPECT_EQ(instantTwinName(""), "instant_");
  EXPECT_EQ(instantTwinName("dir/"), "dir/instant_");
}

TEST(KeyFileNames, UdfKeyFileOption) {
  std::vector<const char*> args = {"x", "-aas-key-file", "a.txt", "-aas-key-file", "b.txt"};
  EXPECT_EQ(udfKeyFileName(static_cast<int>(args.size()), args.data()), "b.txt");
  args = {"x", "-aas-key-file"};
  EXPECT_EQ(udfKeyFileName(static_cast<int>(args.size()), args.data()), "aaSUdf_Id.txt");
  args = {"-aas-key-file", "a.txt"};  // argv[0] is the program
  EXPECT_EQ(udfKeyFileName(static_cast<int>(args.size()), args.data()), "aaSUdf_Id.txt");
  args = {"x", "-aas-config-file", "d.xml"};
  EXPECT_EQ(udfConfigFileName(static_cast<int>(args.size()), args.data()), "d.xml");
  args = {"x"};
  EXPECT_EQ(udfConfigFileName(static_cast<int>(args.size()), args.data()), "aas_udf_instant.xml");
  // The description option's value is scanned as an option too (argv[0]
  // included); the key-file option's is not.
  args = {"x", "-aas-config-file", "-aas-config-file", "x.xml", "-aas-config-file"};
  EXPECT_EQ(udfConfigFileName(static_cast<int>(args.size()), args.data()), "x.xml");
  args = {"-aas-config-file", "a.xml"};
  EXPECT_EQ(udfConfigFileName(static_cast<int>(args.size()), args.data()), "a.xml");
  args = {"x", "-aas-key-file", "-aas-key-file", "k.txt"};
  EXPECT_EQ(udfKeyFileName(static_cast<int>(args.size()), args.data()), "-aas-key-file");
}

}  // namespace
}  // namespace solvarium
