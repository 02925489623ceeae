// Start-up of a Brox service: printed lines, key files, session-manager
// hand-shake and the listen endpoint.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/harness.h"
#include "tests/support/raw_giop.h"

namespace solvarium_test {
namespace {

const char kBroxUnitId[] = "IDL:AAS_CORBA/BROXInstant/Solvers/ICoBROXUnit:1.0";
const char kSolverUnitId[] = "IDL:KORLEN_AAS_v1_0_0/Solvers/ICoSolverUnit:1.0";

class StartupTest : public ServiceTest {
 protected:
  // Starts with `options` and returns the IIOP address of the published key.
  IiopAddress endpointOf(ServiceProcess::Options options) {
    clearWorkDir();
    ServiceProcess& svc = start(std::move(options));
    if (!svc.waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"})) {
      ADD_FAILURE() << "no key files; stdout:\n" << svc.stdoutText();
      return IiopAddress();
    }
    return iorAddress(readFile(workFile("aaS_BROXSolvarium.txt")));
  }
};

TEST_F(StartupTest, PublishesKeysPrintsThemAndHandsKeyToSessionManager) {
  ServiceProcess& svc = startBrox();
  std::string key = readFile(workFile("aaS_BROXSolvarium.txt"));
  std::string unit = readFile(workFile("instant_aaS_BROXSolvarium.txt"));

  // Bare IORs without a line end, of the right types.
  ASSERT_EQ(key.compare(0, 4, "IOR:"), 0) << key;
  EXPECT_EQ(key.find('\n'), std::string::npos);
  EXPECT_EQ(unit.find('\n'), std::string::npos);
  EXPECT_EQ(iorTypeId(key), kBroxUnitId);
  EXPECT_EQ(iorTypeId(unit), kSolverUnitId);
  EXPECT_EQ(iorAddress(key).host, "127.0.0.1");
  EXPECT_GT(iorAddress(key).port, 0);

  std::string expectedStart = "BROXSolvarium starting...\n\nSolvarium key: \n" + key + "\n";
  EXPECT_EQ(svc.stdoutText().compare(0, expectedStart.size(), expectedStart), 0)
      << svc.stdoutText();

  // The session manager receives exactly the key, and the connection stays open.
  ASSERT_TRUE(sessionManager().waitForBytes(key.size(), seconds(5)));
  std::this_thread::sleep_for(milliseconds(500));
  EXPECT_EQ(sessionManager().received(), key);
  EXPECT_TRUE(sessionManager().connectionOpen());

  // The references work and name the service's objects.
  CORBA::String_var id = client().solverUnit()->getSolverId();
  EXPECT_STREQ(id.in(), "korlen-brox");
  EXPECT_TRUE(svc.running());
  EXPECT_TRUE(sessionManager().connectionOpen());

  // No error files on a clean start.
  for (const std::string& name : listDirectory(workDir()))
    EXPECT_TRUE(name == "aaS_BROXSolvarium.txt" || name == "instant_aaS_BROXSolvarium.txt")
        << "unexpected file " << name;
}

TEST_F(StartupTest, KindFollowsProgramNameWhenSolverOptionIsMissingOrUnknown) {
  std::string named = binDir() + "/BROXSolvarium";
  ASSERT_EQ(symlink(SOLVARIUM_BINARY, named.c_str()), 0);
  for (const std::vector<std::string>& argv :
       {std::vector<std::string>{named}, std::vector<std::string>{named, "-solver", "Talvo"},
        std::vector<std::string>{named, "-solver"}}) {
    ServiceProcess::Options o = broxOptions();
    o.program = named;
    o.argv = argv;
    o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
    clearWorkDir();
    ServiceProcess& svc = start(o);
    EXPECT_TRUE(svc.waitForKeyFiles({"aaS_BROXSolvarium.txt"})) << argv.size() << svc.stdoutText();
    EXPECT_EQ(svc.stdoutText().compare(0, 26, "BROXSolvarium starting...\n"), 0);
  }
  // Only the first "-solver" counts: "brox" wins over a later "talvo".
  ServiceProcess::Options o = broxOptions({"-solver", "talvo"});
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  clearWorkDir();
  ServiceProcess& svc = start(o);
  EXPECT_TRUE(svc.waitForKeyFiles({"aaS_BROXSolvarium.txt"})) << svc.stdoutText();
}

TEST_F(StartupTest, ListenPortAndHostFollowEnvironmentAndJoinedOptions) {
  int envPort = freeLoopbackPort();
  int optPort = freeLoopbackPort();
  int lastPort = freeLoopbackPort();

  ServiceProcess::Options o = broxOptions();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.env["AAS_PORTS"] = std::to_string(envPort);
  EXPECT_EQ(endpointOf(o).port, envPort);

  // A joined "-p" overrides the variable; the last one wins.
  o = broxOptions({"-p" + std::to_string(optPort), "-p" + std::to_string(lastPort)});
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.env["AAS_PORTS"] = std::to_string(envPort);
  EXPECT_EQ(endpointOf(o).port, lastPort);

  // "-p" with its value in the next argument is not recognised.
  o = broxOptions({"-p", std::to_string(optPort)});
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.env["AAS_PORTS"] = std::to_string(envPort);
  EXPECT_EQ(endpointOf(o).port, envPort);

  // An empty AAS_PORTS means any free port; a joined "-h" overrides AAS_HOST.
  o = broxOptions({"-h127.0.0.1"});
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.env["AAS_PORTS"] = "";
  o.env["AAS_HOST"] = "192.0.2.1";
  IiopAddress a = endpointOf(o);
  EXPECT_EQ(a.host, "127.0.0.1");
  EXPECT_GT(a.port, 0);
  CORBA::String_var id = client().solverUnit()->getSolverId();
  EXPECT_STREQ(id.in(), "korlen-brox");

  // ORB variables and an omniORB configuration file add no listener and
  // change no limit; "aaS.getenv" still sees the variables.
  const int strayPort = freeLoopbackPort();
  const int filePort = freeLoopbackPort();
  const std::string config = workDir() + "/../omniORB.cfg";
  writeFile(config, "endPoint = giop:tcp:127.0.0.1:" + std::to_string(filePort) +
                        "\ngiopMaxMsgSize = 1000\n");
  o = broxOptions();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.env["AAS_PORTS"] = std::to_string(envPort);
  o.env["ORBendPoint"] = "giop:tcp:127.0.0.1:" + std::to_string(strayPort);
  o.env["ORBgiopMaxMsgSize"] = "1000";
  o.env["OMNIORB_CONFIG"] = config;
  o.env["LONG_VALUE"] = std::string(5000, 'v');
  a = endpointOf(o);
  EXPECT_EQ(a.port, envPort);
  for (const int port : {strayPort, filePort}) {
    const int stray = connectTo("127.0.0.1", port);
    EXPECT_LT(stray, 0) << "something listens on " << port;
    if (stray >= 0) close(stray);
  }
  EXPECT_EQ(client().execute("aaS.getenv LONG_VALUE"), std::string(5000, 'v'));
  EXPECT_EQ(client().execute("aaS.getenv ORBgiopMaxMsgSize"), "1000");
}

TEST_F(StartupTest, PortInUseOrForeignHostEndsWithCode1) {
  // A port held by another listener.
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
  ASSERT_EQ(listen(fd, 1), 0);
  socklen_t len = sizeof addr;
  getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);

  ServiceProcess::Options o = broxOptions();
  o.env["AAS_PORTS"] = std::to_string(ntohs(addr.sin_port));
  ServiceProcess& busy = start(o);
  EXPECT_EQ(busy.waitForExit(seconds(20)), std::optional<int>(1)) << busy.stdoutText();
  EXPECT_NE(busy.stdoutText().find("Error"), std::string::npos) << busy.stdoutText();
  EXPECT_NE(busy.stderrText().find("Start-up failed: cannot listen on 127.0.0.1, port " +
                                   std::to_string(ntohs(addr.sin_port)) + " ("),
            std::string::npos)
      << busy.stderrText();
  EXPECT_NE(busy.stderrText().find("set AAS_PORTS or -p<port> to a free port"), std::string::npos);
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  close(fd);

  // An address that is not one of this machine's (documentation range, no traffic).
  o = broxOptions();
  o.env["AAS_HOST"] = "192.0.2.1";
  ServiceProcess& foreign = start(o);
  EXPECT_EQ(foreign.waitForExit(seconds(20)), std::optional<int>(1)) << foreign.stdoutText();
  EXPECT_NE(foreign.stdoutText().find("Error"), std::string::npos) << foreign.stdoutText();
  EXPECT_NE(foreign.stderrText().find("cannot listen on 192.0.2.1, port 0"), std::string::npos)
      << foreign.stderrText();
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  EXPECT_FALSE(sessionManager().accepted());
}

TEST_F(StartupTest, KeyFileNameFromEnvironment) {
  ASSERT_EQ(mkdir(workFile("keys").c_str(), 0755), 0);
  ServiceProcess::Options o = broxOptions();
  o.env["BROX_AAS_KEY_FILE"] = "keys/brox.ior";
  ServiceProcess& svc = start(o);
  ASSERT_TRUE(svc.waitForKeyFiles({"keys/brox.ior", "keys/instant_brox.ior"})) << svc.stdoutText();
  EXPECT_EQ(iorTypeId(readFile(workFile("keys/brox.ior"))), kBroxUnitId);
  EXPECT_EQ(iorTypeId(readFile(workFile("keys/instant_brox.ior"))), kSolverUnitId);
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  EXPECT_FALSE(fileExists(workFile("instant_aaS_BROXSolvarium.txt")));
  EXPECT_TRUE(sessionManager().waitForBytes(1, seconds(5)));
  EXPECT_EQ(sessionManager().received(), readFile(workFile("keys/brox.ior")));

  // Set but empty: no key file, the unit IOR goes to "instant_".
  o = broxOptions();
  o.env["BROX_AAS_KEY_FILE"] = "";
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  clearWorkDir();
  ServiceProcess& empty = start(o);
  ASSERT_TRUE(empty.waitForKeyFiles({"instant_"})) << empty.stdoutText();
  EXPECT_EQ(iorTypeId(readFile(workFile("instant_"))), kSolverUnitId);
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  EXPECT_TRUE(empty.running());

  // A key file that cannot be created is reported, and the service goes on.
  o = broxOptions();
  o.env["BROX_AAS_KEY_FILE"] = "nodir/key.txt";
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  clearWorkDir();
  ServiceProcess& unwritable = start(o);
  ASSERT_TRUE(waitUntil(
      [&] { return unwritable.stderrText().find("nodir/instant_key.txt") != std::string::npos; },
      seconds(20)))
      << unwritable.stdoutText();
  EXPECT_NE(unwritable.stderrText().find("Warning: cannot write key file <nodir/key.txt>: "),
            std::string::npos) << unwritable.stderrText();
  EXPECT_EQ(unwritable.stdoutText().find("Warning"), std::string::npos);
  EXPECT_TRUE(unwritable.running());
  EXPECT_TRUE(listDirectory(workDir()).empty());

  // One that exists and cannot be replaced (here a folder) would be read by
  // clients as this service's key: start-up fails, saying why.
  o = broxOptions();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  clearWorkDir();
  ASSERT_EQ(mkdir(workFile("instant_aaS_BROXSolvarium.txt").c_str(), 0755), 0);
  ServiceProcess& planted = start(o);
  ASSERT_EQ(planted.waitForExit(seconds(20)), std::optional<int>(1)) << planted.stdoutText();
  EXPECT_NE(planted.stderrText().find("Start-up failed: key file "
                                      "<instant_aaS_BROXSolvarium.txt> exists and cannot be "
                                      "replaced: Cannot replace 'instant_aaS_BROXSolvarium.txt': "
                                      "Is a directory\n"),
            std::string::npos) << planted.stderrText();
  EXPECT_NE(planted.stdoutText().find("Unknown error starting aaS solver\n"), std::string::npos)
      << planted.stdoutText();

  // Another user's key file in a shared folder with the sticky bit (root,
  // which may replace any file, runs the service without that capability).
  if (::geteuid() != 0) return;
  o = broxOptions();
  o.env["BROX_AAS_KEY_FILE"] = "shared/key.txt";
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  o.program = "/usr/bin/setpriv";
  o.argv.insert(o.argv.begin(), {"setpriv", "--bounding-set=-fowner"});
  clearWorkDir();
  ASSERT_EQ(mkdir(workFile("shared").c_str(), 0755), 0);
  writeFile(workFile("shared/key.txt"), "IOR:planted");
  ASSERT_EQ(chown(workFile("shared/key.txt").c_str(), 65534, 65534), 0);
  ASSERT_EQ(chown(workFile("shared").c_str(), 65534, 65534), 0);
  ASSERT_EQ(chmod(workFile("shared").c_str(), 01777), 0);
  ServiceProcess& sticky = start(o);
  ASSERT_EQ(sticky.waitForExit(seconds(20)), std::optional<int>(1)) << sticky.stdoutText();
  EXPECT_NE(sticky.stderrText().find("<shared/key.txt> exists and cannot be replaced: Cannot "
                                     "replace 'shared/key.txt': Operation not permitted\n"),
            std::string::npos) << sticky.stderrText();
  EXPECT_EQ(readFile(workFile("shared/key.txt")), "IOR:planted");
}

TEST_F(StartupTest, SessionManagerVariableUnsetOrEmptyMeansNoHandShake) {
  ServiceProcess::Options o = broxOptions();
  o.env.erase("KORLEN_SESSION_MANAGER_SOCKET");
  ServiceProcess& unset = start(o);
  ASSERT_TRUE(unset.waitForKeyFiles({"aaS_BROXSolvarium.txt", "instant_aaS_BROXSolvarium.txt"}))
      << unset.stdoutText();
  EXPECT_NE(unset.stdoutText().find("No registered BROXSolvarium exception clients!\n"),
            std::string::npos)
      << unset.stdoutText();
  EXPECT_TRUE(unset.running());

  clearWorkDir();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "";
  ServiceProcess& empty = start(o);
  ASSERT_TRUE(empty.waitForKeyFiles({"aaS_BROXSolvarium.txt"})) << empty.stdoutText();
  EXPECT_EQ(empty.stdoutText().find("No registered"), std::string::npos) << empty.stdoutText();
  EXPECT_FALSE(sessionManager().accepted());
}

TEST_F(StartupTest, UnreachableSessionManagerEndsWithCode1AndErrorFile) {
  ServiceProcess::Options o = broxOptions();
  o.env["KORLEN_SESSION_MANAGER_SOCKET"] = "127.0.0.1:" + std::to_string(freeLoopbackPort());
  ServiceProcess& svc = start(o);
  ASSERT_EQ(svc.waitForExit(seconds(25)), std::optional<int>(1)) << svc.stdoutText();
  const std::string lines = "Cannot connect with exception client!\nShutting down...\n";
  EXPECT_NE(svc.stdoutText().find(lines), std::string::npos) << svc.stdoutText();
  std::string errorFile = workFile("instant_aas_error_" + std::to_string(svc.pid()) + ".txt");
  EXPECT_NE(readFile(errorFile).find(lines), std::string::npos) << readFile(errorFile);
  EXPECT_NE(svc.stderrText().find("Start-up failed: no hand-shake with the session manager at '" +
                                  o.env["KORLEN_SESSION_MANAGER_SOCKET"] + "' ("),
            std::string::npos)
      << svc.stderrText();
  EXPECT_FALSE(fileExists(workFile("aaS_BROXSolvarium.txt")));
  EXPECT_FALSE(fileExists(workFile("instant_aaS_BROXSolvarium.txt")));
}

}  // namespace
}  // namespace solvarium_test
