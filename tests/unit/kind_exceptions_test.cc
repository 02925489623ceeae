// The kinds' interpreters raise only generic exceptions (see
// SolverKindOwner::interpretCommand): each kind-module exception leaves as
// its generic twin, all members copied.
#include "solvers/generic_twins.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace solvarium {
namespace {

namespace GE = KORLEN_AAS_v1_0_0::Exceptions;
namespace BE = AAS_CORBA::BROXInstant::Exceptions;
namespace RE = AAS_CORBA::GRENDInstant::Exceptions;

// The translations of the Brox and UDF, the Grend and the Talvo interpreters.
template <typename Raise>
char* brox(Raise raise) {
  return twin::fromBroxInstant([&]() -> char* { raise(); return nullptr; });
}
template <typename Raise>
char* grend(Raise raise) {
  return twin::fromGrendInstant([&]() -> char* { raise(); return nullptr; });
}
template <typename Raise>
char* talvo(Raise raise) {
  return twin::fromTalvo([&]() -> char* { raise(); return nullptr; });
}

// The generic exception `Generic` that `translated` raises, copied; a failure
// of the test when it raises another or none.
template <typename Generic, typename Translated>
Generic twinOf(Translated translated) {
  try {
    translated();
  } catch (const Generic& e) {
    return e;
  } catch (const CORBA::Exception& e) {
    ADD_FAILURE() << "raised " << e._name();
    throw;
  }
  ADD_FAILURE() << "nothing raised";
  throw std::logic_error("nothing raised");
}

TEST(KindExceptionsTest, KindExceptionsAreTranslated) {
  const auto yesNo = twinOf<GE::EYesNoQuestion>(
      [] { brox([] { throw BE::EInstantYesNoQuestion(7, "p?", "d", "h", "m"); }); });
  EXPECT_EQ(yesNo.questionType, 7);
  EXPECT_STREQ(yesNo.questionPromptWithDefaultAnswer, "p?");
  EXPECT_STREQ(yesNo.defaultAnswer, "d");
  EXPECT_STREQ(yesNo.questionHelp, "h");
  EXPECT_STREQ(yesNo.questionMessage, "m");
  EXPECT_STREQ(twinOf<GE::EReadUnquotedString>([] {
                 brox([] { throw BE::EInstantReadUnquotedString(2, "p", "d", "h", "m"); });
               }).questionPrompt,
               "p");
  EXPECT_STREQ(twinOf<GE::EReadQGenericQuestion>([] {
                 brox([] { throw BE::EInstantReadQGenericQuestion(3, "p", "raw", "h", "m"); });
               }).rawDefaultAnswer,
               "raw");
  EXPECT_STREQ(twinOf<GE::EMenuGetQuestion>([] {
                 brox([] { throw BE::EInstantMenuGetQuestion(4, "p", "h", "menu"); });
               }).questionMenu,
               "menu");
  const auto script = twinOf<GE::EScriptGenericError>(
      [] { brox([] { throw BE::EInstantScriptError(5, "cmd", "info", "out"); }); });
  EXPECT_EQ(script.errorType, 5);
  EXPECT_STREQ(script.command, "cmd");
  EXPECT_STREQ(script.errorInfo, "info");
  EXPECT_STREQ(script.commandOutput, "out");
  const auto invalid = twinOf<GE::EInvalidArgument>(
      [] { brox([] { throw BE::EKorlenInvalidArgument(1, "d", "s", "i", "o", "m", 3); }); });
  EXPECT_EQ(invalid.position, 3);
  EXPECT_STREQ(invalid.description, "d");
  EXPECT_STREQ(invalid.scope, "s");
  EXPECT_STREQ(invalid.interfaceName, "i");
  EXPECT_STREQ(invalid.operation, "o");
  EXPECT_STREQ(invalid.moreInfo, "m");
  EXPECT_EQ(twinOf<GE::EUnknown>([] {
              brox([] { throw BE::EKorlenUnknown(9, "d", "s", "i", "o", "m"); });
            }).code,
            9);

  EXPECT_STREQ(twinOf<GE::EUnknown>([] {
                 grend([] { throw RE::EKorlenUnknown(1, "grend", "s", "i", "o", "m"); });
               }).description,
               "grend");
  EXPECT_EQ(twinOf<GE::EInvalidArgument>([] {
              grend([] { throw RE::EKorlenInvalidArgument(1, "d", "s", "i", "o", "m", 32767); });
            }).position,
            32767);

  EXPECT_STREQ(twinOf<GE::EScriptGenericError>([] {
                 talvo([] { throw AAS_CORBA::EInstantTalvoGenericError(1, "c", "talvo", "o"); });
               }).errorInfo,
               "talvo");
  twinOf<GE::EYesNoQuestion>(
      [] { talvo([] { throw AAS_CORBA::EInstantYesNoQuestion(1, "p", "d", "h", "m"); }); });
  twinOf<GE::EMenuGetQuestion>(
      [] { talvo([] { throw AAS_CORBA::EInstantMenuGetQuestion(1, "p", "h", "m"); }); });
}

}  // namespace
}  // namespace solvarium
