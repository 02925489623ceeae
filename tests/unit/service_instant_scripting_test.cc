#include "service/instant_scripting.h"

#include <gtest/gtest.h>

#include <new>

#include <functional>
#include <string>
#include <vector>

#include "AAS_CORBA.hh"
#include "service/co_file_system.h"
#include "service/co_solver_unit.h"
#include "tests/support/expect_throw.h"
#include "solvers/brox/brox_kind.h"
#include "solvers/grend/grend_kind.h"
#include "solvers/talvo/talvo_kind.h"
#include "solvers/udf/udf_kind.h"

namespace solvarium {
namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
using solvarium_test::expectThrow;

// A kind owner without an ORB: its interpreter records the commands and runs
// whatever the test puts into `behaviour`.
class FakeOwner : public SolverKindOwner {
 public:
  CORBA::ORB_ptr ownerOrb() override { return CORBA::ORB::_nil(); }
  char* runCommand(const char* command) override {
    commands.push_back(command);
    if (behaviour) behaviour();
    return CORBA::string_dup(("answer:" + std::string(command)).c_str());
  }
  std::string ownerIorText() override { return "IOR:owner"; }
  StateFlags& stateFlags() override { return flags; }
  CInstantScripting* scriptingServant() override { return nullptr; }
  CCoFileSystem* fileSystemServant() override { return nullptr; }
  CCoSolverUnit* solverUnitServant() override { return nullptr; }
  std::string collaborativeIorText() override { return collaborativeIor; }

  std::vector<std::string> commands;
  std::function<void()> behaviour;
  std::string collaborativeIor;
  StateFlags flags;
};

std::string run(CInstantScripting& scripting, const char* command) {
  CORBA::String_var answer = scripting.executeToString(command);
  return answer.in();
}

TEST(InstantScriptingTest, CommandsReachTheInterpreterUnchanged) {
  FakeOwner owner;
  CInstantScripting scripting(BROX::broxKind().texts, &owner);
  EXPECT_EQ(run(scripting, " aaS.get_status \n"), "answer: aaS.get_status \n");
  EXPECT_EQ(run(scripting, "aaS_internal"), "answer:aaS_internal");  // no full stop: not internal
  EXPECT_EQ(run(scripting, "aaS_internal.tic_one_minute"), "answer:aaS_internal.tic_one_minute");
  EXPECT_EQ(owner.commands.size(), 3u);
}

TEST(InstantScriptingTest, InternalCommands) {
  for (const SolverKindRecord* kind :
       {&BROX::broxKind(), &TALVO::talvoKind(), &GREND::grendKind()}) {
    FakeOwner owner;
    CInstantScripting scripting(kind->texts, &owner);
    for (const char* name : {"aaS_internal.get_brox_exception_holder_ior",
                             "aaS_internal.get_grend_exception_holder_ior",
                             "aaS_internal.get_talvo_exception_holder_ior"}) {
      EXPECT_EQ(run(scripting, name), "IOR:owner");
    }
    for (const char* bad : {"aaS_internal.", "aaS_internal.tic_one_minute ",
                            "aaS_internal.get_brox_exception_holder_ior x", "aaS_internal.nope"}) {
      if (const auto e = expectThrow<GE::EScriptGenericError>([&] { run(scripting, bad); }, bad)) {
        EXPECT_EQ(e->errorType, 1);
        EXPECT_STREQ(e->command, bad);
        EXPECT_STREQ(e->errorInfo, "Unsupported instant aaS command");
        EXPECT_STREQ(e->commandOutput, "");
      }
    }
    EXPECT_TRUE(owner.commands.empty());
  }
}

// A kind without an ORB whose interpreter runs `behaviour`.
class FakeKind : public SolverKind {
 public:
  explicit FakeKind(const SolverKindRecord& record = BROX::broxKind())
      : SolverKind(CORBA::ORB::_nil(), record) {}
  char* interpret(const char*) override {
    behaviour();
    return nullptr;
  }
  std::function<void()> behaviour;
};

// Generic exceptions leave SolverKind::run unchanged (the kinds translate
// their own, see kind_exceptions_test.cc); a C++ failure becomes a script
// error.
TEST(InstantScriptingTest, GenericExceptionsPassAndCppFailuresBecomeScriptErrors) {
  FakeKind owner;
  CInstantScripting& scripting = *owner.scriptingServant();
  auto call = [&] { run(scripting, "aaS.x"); };
  owner.behaviour = [] {};
  EXPECT_EQ(run(scripting, "aaS.x"), "");  // no answer: empty
  owner.behaviour = [] { throw GE::EUnknown(4, "generic", "s", "i", "o", "m"); };
  if (const auto e = expectThrow<GE::EUnknown>(call)) {
    EXPECT_EQ(e->code, 4);
  }
  owner.behaviour = [] { throw std::runtime_error("broken"); };
  if (const auto e = expectThrow<GE::EScriptGenericError>(call)) {
    EXPECT_STREQ(e->errorInfo, "broken");
    EXPECT_STREQ(e->command, "aaS.x");
  }
  // Each kind's interpreter failing to allocate: a script error on the
  // generic path, the kind's own error on the kind-module path.
  for (const SolverKindRecord* record : {&BROX::broxKind(), &TALVO::talvoKind(),
                                         &GREND::grendKind(), &AAS_UDF::udfKind()}) {
    FakeKind kind(*record);
    kind.behaviour = [] { throw std::bad_alloc(); };
    auto generic = [&] { CORBA::String_var answer = kind.run("aaS.y"); };
    if (const auto e = expectThrow<GE::EScriptGenericError>(generic, record->serverName)) {
      EXPECT_STREQ(e->errorInfo, "std::bad_alloc");
    }
    auto own = [&] { CORBA::String_var answer = kind.run("aaS.y", SolverKind::Raises::kKindModule); };
    if (record == &BROX::broxKind()) {
      const auto e = expectThrow<AAS_CORBA::BROXInstant::Exceptions::EInstantScriptError>(own);
      if (e) {
        EXPECT_STREQ(e->errorInfo, "std::bad_alloc");
      }
    } else if (record == &TALVO::talvoKind()) {
      const auto e = expectThrow<AAS_CORBA::EInstantTalvoGenericError>(own);
      if (e) {
        EXPECT_STREQ(e->command, "aaS.y");
      }
    } else if (record == &GREND::grendKind()) {
      const auto e = expectThrow<AAS_CORBA::GRENDInstant::Exceptions::EKorlenUnknown>(own);
      if (e) {
        EXPECT_STREQ(e->operation, "aaS.y");
      }
    }
  }
}

TEST(InstantScriptingTest, StateFlags) {
  FakeOwner owner;
  CInstantScripting scripting(BROX::broxKind().texts, &owner);
  EXPECT_EQ(owner.flags.text(), "");
  KORLEN_AAS_v1_0_0::Types::CoStrings_var none = scripting.getStatus();
  EXPECT_EQ(none->length(), 0u);

  owner.flags.set("prejournaling", false);
  owner.flags.set("journaling", true);
  owner.flags.set("error", true);
  owner.flags.set("Zeta", true);
  EXPECT_TRUE(owner.flags.has("prejournaling"));
  EXPECT_FALSE(owner.flags.get("prejournaling"));
  EXPECT_FALSE(owner.flags.has("absent"));
  EXPECT_FALSE(owner.flags.get("absent"));
  EXPECT_FALSE(owner.flags.has("absent"));
  EXPECT_EQ(owner.flags.text(), "Zeta\nerror\njournaling\n");  // byte order
  KORLEN_AAS_v1_0_0::Types::CoStrings_var on = scripting.getStatus();
  ASSERT_EQ(on->length(), 3u);
  EXPECT_STREQ(on[0], "Zeta");
  EXPECT_STREQ(on[2], "journaling");
  owner.flags.clear();
  EXPECT_FALSE(owner.flags.has("error"));
  EXPECT_TRUE(owner.commands.empty());
}

TEST(InstantScriptingTest, FixedAnswersPerKind) {
  FakeOwner owner;
  CInstantScripting grend(GREND::grendKind().texts, &owner);
  CORBA::String_var id = grend.getScriptingLanguageId();
  EXPECT_STREQ(id, "grend_instant_aas");
  CORBA::String_var access = grend.getAcessType();
  EXPECT_STREQ(access, "instant");
  EXPECT_THROW(grend.execute("x"), GE::ENotSupported);
  EXPECT_THROW(CORBA::String_var(grend.executeDelayed("x")), GE::ENotSupported);
  EXPECT_THROW(CORBA::String_var(grend.retrieveDelayedOutput("x")), GE::ENotSupported);
}

TEST(CoSolverUnitTest, IdentityAndCollaborativeUnit) {
  FakeOwner owner;
  CCoSolverUnit brox(BROX::broxKind().texts, &owner);
  CORBA::String_var id = brox.getSolverId();
  EXPECT_STREQ(id, "korlen-brox");
  if (const auto e = expectThrow<GE::EUnknown>([&] {
        KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = brox.getCollaborativeSolverUnit();
      })) {
    EXPECT_STREQ(e->description, "Collaborative aaS not available");
    EXPECT_STREQ(e->scope, " Instant aaS");
  }
  CCoSolverUnit talvo(TALVO::talvoKind().texts, &owner);
  if (const auto e = expectThrow<GE::EUnknown>([&] {
        KORLEN_AAS_v1_0_0::Solvers::ICoSolverUnit_var unit = talvo.getCollaborativeSolverUnit();
      })) {
    EXPECT_STREQ(e->description, "Collaborative IOR not available");
    EXPECT_STREQ(e->scope, "Talvo Instant aaS");
    EXPECT_STREQ(e->operation, "getCollaborativeSolverUnit");
  }
}

}  // namespace
}  // namespace solvarium
