// SolverKind::run() raises only generic exceptions: each kind-module
// exception leaves as its generic twin, all members copied.
#include "solvers/generic_twins.h"

#include <gtest/gtest.h>

#include "solvers/grend/grend_kind.h"
#include "solvers/talvo/talvo_kind.h"
#include "tests/support/expect_throw.h"

namespace solvarium {
namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace BE = AAS_CORBA::BROXInstant::Exceptions;
namespace RE = AAS_CORBA::GRENDInstant::Exceptions;
using solvarium_test::expectThrow;

// The translations of the Brox and UDF, the Grend and the Talvo interpreters.
template <typename Raise>
void translated(void (*twins)(), Raise raise) {
  try {
    raise();
  } catch (...) {
    twins();
  }
}
template <typename Raise>
void brox(Raise raise) {
  translated(twin::rethrowBroxInstantTwin, raise);
}
template <typename Raise>
void grend(Raise raise) {
  translated(GREND::grendKind().twins, raise);
}
template <typename Raise>
void talvo(Raise raise) {
  translated(TALVO::talvoKind().twins, raise);
}

TEST(KindExceptionsTest, KindExceptionsAreTranslated) {
  if (const auto e = expectThrow<GE::EYesNoQuestion>(
          [] { brox([] { throw BE::EInstantYesNoQuestion(7, "p?", "d", "h", "m"); }); })) {
    EXPECT_EQ(e->questionType, 7);
    EXPECT_STREQ(e->questionPromptWithDefaultAnswer, "p?");
    EXPECT_STREQ(e->defaultAnswer, "d");
    EXPECT_STREQ(e->questionHelp, "h");
    EXPECT_STREQ(e->questionMessage, "m");
  }
  if (const auto e = expectThrow<GE::EReadUnquotedString>(
          [] { brox([] { throw BE::EInstantReadUnquotedString(2, "p", "d", "h", "m"); }); })) {
    EXPECT_STREQ(e->questionPrompt, "p");
  }
  if (const auto e = expectThrow<GE::EReadQGenericQuestion>(
          [] { brox([] { throw BE::EInstantReadQGenericQuestion(3, "p", "raw", "h", "m"); }); })) {
    EXPECT_STREQ(e->rawDefaultAnswer, "raw");
  }
  if (const auto e = expectThrow<GE::EMenuGetQuestion>(
          [] { brox([] { throw BE::EInstantMenuGetQuestion(4, "p", "h", "menu"); }); })) {
    EXPECT_STREQ(e->questionMenu, "menu");
  }
  if (const auto e = expectThrow<GE::EScriptGenericError>(
          [] { brox([] { throw BE::EInstantScriptError(5, "cmd", "info", "out"); }); })) {
    EXPECT_EQ(e->errorType, 5);
    EXPECT_STREQ(e->command, "cmd");
    EXPECT_STREQ(e->errorInfo, "info");
    EXPECT_STREQ(e->commandOutput, "out");
  }
  if (const auto e = expectThrow<GE::EInvalidArgument>(
          [] { brox([] { throw BE::EKorlenInvalidArgument(1, "d", "s", "i", "o", "m", 3); }); })) {
    EXPECT_EQ(e->position, 3);
    EXPECT_STREQ(e->description, "d");
    EXPECT_STREQ(e->scope, "s");
    EXPECT_STREQ(e->interfaceName, "i");
    EXPECT_STREQ(e->operation, "o");
    EXPECT_STREQ(e->moreInfo, "m");
  }
  if (const auto e = expectThrow<GE::EUnknown>(
          [] { brox([] { throw BE::EKorlenUnknown(9, "d", "s", "i", "o", "m"); }); })) {
    EXPECT_EQ(e->code, 9);
  }

  if (const auto e = expectThrow<GE::EUnknown>(
          [] { grend([] { throw RE::EKorlenUnknown(1, "grend", "s", "i", "o", "m"); }); })) {
    EXPECT_STREQ(e->description, "grend");
  }
  if (const auto e = expectThrow<GE::EInvalidArgument>([] {
        grend([] { throw RE::EKorlenInvalidArgument(1, "d", "s", "i", "o", "m", 32767); });
      })) {
    EXPECT_EQ(e->position, 32767);
  }

  if (const auto e = expectThrow<GE::EScriptGenericError>([] {
        talvo([] { throw AAS_CORBA::EInstantTalvoGenericError(1, "c", "talvo", "o"); });
      })) {
    EXPECT_STREQ(e->errorInfo, "talvo");
  }
  expectThrow<GE::EYesNoQuestion>(
      [] { talvo([] { throw AAS_CORBA::EInstantYesNoQuestion(1, "p", "d", "h", "m"); }); });
  expectThrow<GE::EMenuGetQuestion>(
      [] { talvo([] { throw AAS_CORBA::EInstantMenuGetQuestion(1, "p", "h", "m"); }); });
}

}  // namespace
}  // namespace solvarium
