// solvarium-client's exception ladder: every user exception of the contract
// prints under its own repository id with all members in IDL order, strings
// JSON-escaped; system exceptions print name, minor code and completion.
#include "tools/exception_printer.h"

#include <gtest/gtest.h>

#include <string>

#include "AAS_CORBA.hh"
#include "KORLEN_AAS_v1_0_0.hh"

namespace {

using solvarium::client::exceptionJson;
using solvarium::client::exitCodeFor;

namespace GX = ::KORLEN_AAS_v1_0_0::Exceptions;
namespace IX = ::KORLEN_AAS_v1_0_0::Instant::Exceptions;
namespace TX = ::AAS_CORBA;
namespace RX = ::AAS_CORBA::GRENDInstant::Exceptions;
namespace BX = ::AAS_CORBA::BROXInstant::Exceptions;

// Members as each shape prints them for the fixed sample values used below.
const std::string kUnknown =
    R"("code":7,"description":"a","scope":"b","interfaceName":"c","operation":"d","moreInfo":"e")";
const std::string kInvalid = kUnknown + R"(,"position":-3)";
const std::string kYesNo =
    R"("questionType":7,"questionPromptWithDefaultAnswer":"a","defaultAnswer":"b","questionHelp":"c","questionMessage":"d")";
const std::string kReadUnquoted =
    R"("questionType":7,"questionPrompt":"a","defaultAnswer":"b","questionHelp":"c","questionMessage":"d")";
const std::string kReadQGeneric =
    R"("questionType":7,"questionPromptWithDefaultAnswer":"a","rawDefaultAnswer":"b","questionHelp":"c","questionMessage":"d")";
const std::string kMenu = R"("questionType":7,"questionPrompt":"a","questionHelp":"b","questionMenu":"c")";
const std::string kScript = R"("errorType":7,"command":"a","errorInfo":"b","commandOutput":"c")";
const std::string kNotSupported = R"("errorType":7,"command":"a","errorInfo":"b")";

template <class E>
void expectPrinted(const E& e, const std::string& members) {
  EXPECT_EQ(exceptionJson(e), std::string("{\"exception\":\"") + E::_PD_repoId + "\"," + members + "}");
  EXPECT_EQ(exitCodeFor(e), 1);
}

TEST(ClientExceptionPrinterTest, EveryUserExceptionOfTheContractWithAllMembersInOrder) {
  expectPrinted(GX::EUnknown(7, "a", "b", "c", "d", "e"), kUnknown);
  expectPrinted(GX::EInvalidArgument(7, "a", "b", "c", "d", "e", -3), kInvalid);
  expectPrinted(GX::EYesNoQuestion(7, "a", "b", "c", "d"), kYesNo);
  expectPrinted(GX::EReadUnquotedString(7, "a", "b", "c", "d"), kReadUnquoted);
  expectPrinted(GX::EReadQGenericQuestion(7, "a", "b", "c", "d"), kReadQGeneric);
  expectPrinted(GX::EMenuGetQuestion(7, "a", "b", "c"), kMenu);
  expectPrinted(GX::EScriptGenericError(7, "a", "b", "c"), kScript);
  expectPrinted(GX::ENotSupported(7, "a", "b"), kNotSupported);

  expectPrinted(IX::EKorlenUnknown(7, "a", "b", "c", "d", "e"), kUnknown);
  expectPrinted(IX::EKorlenInvalidArgument(7, "a", "b", "c", "d", "e", -3), kInvalid);
  expectPrinted(IX::EInstantReadUnquotedString(7, "a", "b", "c", "d"), kReadUnquoted);
  expectPrinted(IX::EInstantScriptError(7, "a", "b", "c"), kScript);
  expectPrinted(IX::EInstantReadQGenericQuestion(7, "a", "b", "c", "d"), kReadQGeneric);
  expectPrinted(IX::EInstantYesNoQuestion(7, "a", "b", "c", "d"), kYesNo);
  expectPrinted(IX::EInstantMenuGetQuestion(7, "a", "b", "c"), kMenu);

  expectPrinted(TX::EInstantYesNoQuestion(7, "a", "b", "c", "d"), kYesNo);
  expectPrinted(TX::EInstantReadUnquotedString(7, "a", "b", "c", "d"), kReadUnquoted);
  expectPrinted(TX::EInstantReadQGenericQuestion(7, "a", "b", "c", "d"), kReadQGeneric);
  expectPrinted(TX::EInstantMenuGetQuestion(7, "a", "b", "c"), kMenu);
  expectPrinted(TX::EInstantTalvoGenericError(7, "a", "b", "c"), kScript);

  expectPrinted(RX::EKorlenUnknown(7, "a", "b", "c", "d", "e"), kUnknown);
  expectPrinted(RX::EKorlenInvalidArgument(7, "a", "b", "c", "d", "e", -3), kInvalid);

  expectPrinted(BX::EKorlenUnknown(7, "a", "b", "c", "d", "e"), kUnknown);
  expectPrinted(BX::EKorlenInvalidArgument(7, "a", "b", "c", "d", "e", -3), kInvalid);
  expectPrinted(BX::EInstantReadUnquotedString(7, "a", "b", "c", "d"), kReadUnquoted);
  expectPrinted(BX::EInstantScriptError(7, "a", "b", "c"), kScript);
  expectPrinted(BX::EInstantReadQGenericQuestion(7, "a", "b", "c", "d"), kReadQGeneric);
  expectPrinted(BX::EInstantYesNoQuestion(7, "a", "b", "c", "d"), kYesNo);
  expectPrinted(BX::EInstantMenuGetQuestion(7, "a", "b", "c"), kMenu);
}

TEST(ClientExceptionPrinterTest, StringMembersAreEscapedAndKeptWhole) {
  const GX::EUnknown e(1, "say \"hi\"\\now", "tab\there", "\x01\x1f", "", "Command:\naaS.x \xc3\xa9");
  EXPECT_EQ(exceptionJson(e),
            "{\"exception\":\"IDL:KORLEN_AAS_v1_0_0/Exceptions/EUnknown:1.0\",\"code\":1,"
            "\"description\":\"say \\\"hi\\\"\\\\now\",\"scope\":\"tab\\there\","
            "\"interfaceName\":\"\\u0001\\u001f\",\"operation\":\"\","
            "\"moreInfo\":\"Command:\\naaS.x \xc3\xa9\"}");
  // Extremes of the numeric members travel unchanged.
  const GX::EInvalidArgument big(-2147483647 - 1, "", "", "", "", "", 32767);
  const std::string text = exceptionJson(big);
  EXPECT_NE(text.find("\"code\":-2147483648,"), std::string::npos) << text;
  EXPECT_NE(text.find("\"position\":32767}"), std::string::npos) << text;
}

TEST(ClientExceptionPrinterTest, SystemExceptionsNameMinorAndCompletion) {
  const CORBA::TRANSIENT transient(omni::TRANSIENT_ConnectFailed, CORBA::COMPLETED_NO);
  EXPECT_EQ(exceptionJson(transient),
            "{\"exception\":\"CORBA::TRANSIENT\",\"minor\":" +
                std::to_string(omni::TRANSIENT_ConnectFailed) +
                ",\"minorName\":\"TRANSIENT_ConnectFailed\",\"completed\":\"COMPLETED_NO\"}");
  EXPECT_EQ(exitCodeFor(transient), 2);

  const CORBA::UNKNOWN unknown(0, CORBA::COMPLETED_MAYBE);
  EXPECT_EQ(exceptionJson(unknown),
            "{\"exception\":\"CORBA::UNKNOWN\",\"minor\":0,\"minorName\":\"\",\"completed\":\"COMPLETED_MAYBE\"}");
  EXPECT_EQ(exitCodeFor(unknown), 2);
}

}  // namespace
