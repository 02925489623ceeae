// Run status of a Brox working directory, read by the real libQuennet.so
// that the service loads from BROXBINDIR, asked for over IIOP.
#include <sys/stat.h>

#include <string>

#include <gtest/gtest.h>

#include "tests/support/harness.h"

namespace solvarium_test {
namespace {

class QuennetStorageTest : public ServiceTest {
 protected:
  // No lock file of the service stays in `runDir` once a command has answered.
  void expectNoLockFiles(const std::string& runDir) {
    for (const std::string& name : listDirectory(workFile(runDir))) {
      EXPECT_EQ(std::string::npos, name.find("sm.native_brox_aas.")) << runDir << "/" << name;
    }
  }
};

TEST_F(QuennetStorageTest, StorageStatusAndListingsDescribeEveryRun) {
  mkdir(workFile("finished.dir").c_str(), 0755);
  writeFile(workFile("finished.dir/gui-err.txt"), "run False Finished run\nend Converged\n");
  mkdir(workFile("live.dir").c_str(), 0755);
  writeFile(workFile("live.dir/gui-err.txt"), "run False Live run\nprogress iteration 5\n");
  writeFile(workFile("saved.res"), "run False Saved run\nend Stopped by user\n");
  writeFile(workFile("study.mres"),
            "run True Study\nconfiguration 0 low\nconfiguration 1 high\nend Finished\n");
  startBrox();

  EXPECT_EQ(
      "{\n"
      "\t\"finished.dir\":\n"
      "\t{\n\t\t\"Name\":\"Finished run\"\n\t\t,\"Completed\":true\n"
      "\t\t,\"ExitReason\":\"Converged\"\n\t}\n\n"
      "\t,\n"
      "\t\"live.dir\":\n"
      "\t{\n\t\t\"Name\":\"Live run\"\n\t\t,\"Completed\":false\n\t}\n\n"
      "\t,\n"
      "\t\"saved.res\":\n"
      "\t{\n\t\t\"Name\":\"Saved run\"\n\t\t,\"Completed\":true\n"
      "\t\t,\"ExitReason\":\"Stopped by user\"\n\t}\n\n"
      "\t,\n"
      "\t\"study.mres\":\n"
      "\t{\n\t\t\"Name\":\"Study\"\n\t\t,\"Completed\":true\n"
      "\t\t,\"ExitReason\":\"Finished\"\n\t\t,\"MultiConfig\":[\"high\",\"low\"]\n\t}\n\n"
      "}\n",
      client().execute("aaS.get_storage_status"));
  EXPECT_EQ("finished.dir\nlive.dir\nsaved.res\nstudy.mres/high\nstudy.mres/low\n",
            client().execute("aaS.list_all_brox_storages"));
  EXPECT_EQ("./live.dir\n", client().execute("aaS.list_all_active_brox_storages"));
  expectNoLockFiles("finished.dir");
  expectNoLockFiles("live.dir");
}

TEST_F(QuennetStorageTest, RunInformationErrorReachesTheClientCut) {
  mkdir(workFile("broken.dir").c_str(), 0755);
  const std::string reason(300, 'e');
  writeFile(workFile("broken.dir/gui-err.txt"), "run False Broken\nerror " + reason + "\n");
  startBrox();

  const Outcome outcome = client().tryExecute("aaS.get_storage_status");
  ASSERT_FALSE(outcome.ok) << outcome;
  EXPECT_EQ("EScriptGenericError", outcome.exception) << outcome;
  const std::string message = "Exception caught:\n./broken.dir: " + reason + "\n";
  EXPECT_EQ(message.substr(0, 255) + "\nTruncated message\n", outcome.member("errorInfo"));
  expectNoLockFiles("broken.dir");
}

TEST_F(QuennetStorageTest, RunDirectoryBesideItsResultIsAmbiguous) {
  mkdir(workFile("twice.dir").c_str(), 0755);
  writeFile(workFile("twice.dir/gui-err.txt"), "run False Twice\n");
  writeFile(workFile("twice.res"), "run False Twice\nend Converged\n");
  startBrox();

  const Outcome outcome = client().tryExecute("aaS.list_all_brox_storages");
  ASSERT_FALSE(outcome.ok) << outcome;
  EXPECT_EQ(
      "Exception caught:\n\n\nAmbiguous state:\n\t./twice.dir\n\t./twice.res\n"
      "Conflict not cleared after one second\n\n",
      outcome.member("errorInfo"));
  expectNoLockFiles("twice.dir");
}

}  // namespace
}  // namespace solvarium_test
