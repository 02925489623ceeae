// The UDF description reader: value resolution by storage and placeholder
// expansion, and which elements fill the record.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <string>

#include "common/safe_file.h"
#include "solvers/udf/udf_description_reader.h"
#include "solvers/udf/udf_value_resolution.h"
#include "tests/support/temp_dir.h"

namespace {

using AAS_UDF::CAasUdfXmlHandler;
using AAS_UDF::resolveStoredValue;
using AAS_UDF::UdfDescriptionFault;

class UdfValueTest : public ::testing::Test {
 protected:
  // The resolved value, or "FAULT: " and the fault's message.
  std::string resolve(const std::string& text, const std::string& storage = "") {
    std::string value;
    UdfDescriptionFault fault;
    if (resolveStoredValue(text, storage, environment_, &value, &fault)) return value;
    return "FAULT: " + fault.message;
  }

  // The environment read at start-up; UDF_T_UNSET is not set.
  const solvarium::Environment environment_{{{"UDF_T_A", "alpha"},
                                             {"UDF_T_B", "{$UDF_T_A}!"},
                                             {"UDF_T_EMPTY", ""},
                                             {"UDF_T_LOOP", "x{$UDF_T_LOOP}"}}};
};

TEST_F(UdfValueTest, PlaceholdersExpandLeftToRightAndStopAtTheFirstThatIsNone) {
  EXPECT_EQ(resolve("a {$UDF_T_A} b {$UDF_T_A}"), "a alpha b alpha");
  EXPECT_EQ(resolve("{$UDF_T_UNSET}{$UDF_T_A}"), "{$UDF_T_UNSET}{$UDF_T_A}");
  EXPECT_EQ(resolve("{$UDF_T_EMPTY}{$UDF_T_A}"), "{$UDF_T_EMPTY}{$UDF_T_A}");
  EXPECT_EQ(resolve("<{$UDF_T_B}>"), "<alpha!>");  // a value's placeholder too
  EXPECT_EQ(resolve("{x}{$UDF_T_A}"), "{x}{$UDF_T_A}");
  EXPECT_EQ(resolve("{$}"), "{$}");
  EXPECT_EQ(resolve("a{$UDF_T_A"), "a{$UDF_T_A");
  EXPECT_EQ(resolve(" {$UDF_T_A} ", "explicit"), " {$UDF_T_A} ");
  EXPECT_EQ(resolve("UDF_T_EMPTY", "environment_variable"), "");
  EXPECT_EQ(resolve("UDF_T_B", "environment_variable"), "{$UDF_T_A}!");
  // 64 substitutions resolve, a 65th is a fault.
  std::string placeholders, values;
  for (int i = 0; i < 64; ++i) {
    placeholders += "{$UDF_T_A}";
    values += "alpha";
  }
  EXPECT_EQ(resolve(placeholders), values);
  EXPECT_EQ(resolve(placeholders + "{$UDF_T_A}").rfind("FAULT: ", 0), 0u);
  // A value that refers to itself ends after the bound instead of overflowing.
  EXPECT_EQ(resolve("{$UDF_T_LOOP}"),
            "FAULT: Error! Placeholders in {$UDF_T_LOOP} do not resolve within 64 substitutions\n");
}

TEST_F(UdfValueTest, FileStorageReadsRegularFilesUpToTheirFirstZeroByte) {
  solvarium_test::TempDir dir("udf-value");
  ASSERT_TRUE(dir.ok()) << dir.error();
  const std::string file = dir.file("value.txt");
  ASSERT_TRUE(solvarium::writeFileAtomically(file, std::string("line\n\0tail", 10), nullptr));
  EXPECT_EQ(resolve(file, "filename"), "line\n");
}

TEST(UdfDescriptionReaderTest, FillsTheRecordFromTheCountingElements) {
  const solvarium::Environment environment({{"UDF_T_MACRO", "run_it"}});
  const std::string text =
      "<doc><aasCommand command=\"aaS.outside\">m</aasCommand>\n"
      "<aasSolver>\n"
      " <aasCommand command=\"aaS.early\" output=\"stdout\">early</aasCommand>\n"
      " <solverInfo>\n"
      "  <solverName> padded </solverName>\n"
      "  <aasCommand command=\"aaS.inside\">m</aasCommand>\n"
      "  <solverPid>12</solverPid>\n"
      "  <unknown>x</unknown>\n"
      " </solverInfo>\n"
      " <solverName>ignored</solverName>\n"
      " <aasCommand command=\"aaS.run\" input=\"none\">\n  {$UDF_T_MACRO}\n </aasCommand>\n"
      " <aasCommand command=\"aaS.early\">late</aasCommand>\n"
      " <aasCommand>nameless</aasCommand>\n"
      "</aasSolver></doc>\n";
  CAasUdfXmlHandler record(environment);
  UdfDescriptionFault fault;
  ASSERT_TRUE(AAS_UDF::readUdfDescription(text, &record, &fault)) << fault.message;
  EXPECT_EQ(record.solverName, " padded ");
  EXPECT_EQ(record.solverPid, "12");
  const AAS_UDF::CommandTable macros = {{"aaS.early", "late"}, {"aaS.run", "run_it"}};
  EXPECT_EQ(record.commandMacros, macros);
  const AAS_UDF::CommandTable inputs = {{"aaS.early", "argv"}, {"aaS.run", "none"}};
  EXPECT_EQ(record.commandInputs, inputs);
  const AAS_UDF::CommandTable outputs = {{"aaS.early", "output"}, {"aaS.run", "output"}};
  EXPECT_EQ(record.commandOutputs, outputs);
  ASSERT_EQ(record.warnings.size(), 1u);

  CAasUdfXmlHandler broken(environment);
  EXPECT_FALSE(AAS_UDF::readUdfDescription("<aasSolver><solverInfo>", &broken, &fault));
  EXPECT_EQ(fault.message.rfind("ERROR: Configuration file parse exception:\n", 0), 0u)
      << fault.message;
  EXPECT_TRUE(fault.printed);
}

}  // namespace
