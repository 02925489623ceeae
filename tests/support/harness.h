// End-to-end harness: runs the real Solvarium as a child process on 127.0.0.1
// and talks IIOP to it from the test process. This is the one header the tests
// include; the pieces are the fixture and its sandbox (service_test.h), the
// service process, the client ORB and client, exceptions as data (outcome.h),
// the fake session manager, the stand-in solver, child processes, IOR texts,
// files, temporary directories, polling and expectThrow.
//
// Usage summary:
//   class MyTest : public solvarium_test::ServiceTest {};        // fixture
//   TEST_F(MyTest, X) {
//     ServiceProcess& svc = startBrox();             // Brox run, keys awaited
//     EXPECT_EQ(client().execute("aaS.get_status"), "...");
//     Outcome o = client().tryExecute("aaS.bogus");  // exception as data
//     EXPECT_EQ(o.exception, "EUnknown"); EXPECT_EQ(o.member("code"), "1");
//     sessionManager().received();                   // bytes the service sent
//     solver().kill(); svc.waitForExit(seconds(70)); // exit code or nullopt
//     runClient({"instant_aaS_BROXSolvarium.txt", "solver-unit", "getSolverId"});
//   }
// A sanitizer report in the stderr of the service (read once it has ended or
// been killed) or of the client tool fails the test.
//
// Thread rule: one fixture per test thread; the ORB is shared by the whole
// test process and is made once (see testOrb()).
#ifndef SOLVARIUM_TESTS_SUPPORT_HARNESS_H_
#define SOLVARIUM_TESTS_SUPPORT_HARNESS_H_

#include "tests/support/child_process.h"
#include "tests/support/expect_throw.h"
#include "tests/support/fake_session_manager.h"
#include "tests/support/files.h"
#include "tests/support/ior.h"
#include "tests/support/outcome.h"
#include "tests/support/service_client.h"
#include "tests/support/service_process.h"
#include "tests/support/service_test.h"
#include "tests/support/stand_in_solver.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

#endif  // SOLVARIUM_TESTS_SUPPORT_HARNESS_H_
