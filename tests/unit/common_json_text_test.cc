// The shared JSON string writer: valid UTF-8 passes unchanged, every other
// byte becomes the Latin-1 character of its value, and the test checker
// accepts exactly what passes unchanged.
#include <gtest/gtest.h>

#include <string>

#include "common/json_text.h"
#include "tests/support/json_check.h"

namespace {

TEST(JsonTextTest, ValidUtf8StaysAndEveryOtherByteIsLatin1) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"Caf\xc3\xa9", "Caf\xc3\xa9"},                                // 2 bytes
      {"\xe2\x82\xac", "\xe2\x82\xac"},                              // 3 bytes
      {"\xf0\x9f\x99\x82", "\xf0\x9f\x99\x82"},                      // 4 bytes
      {"\xf4\x8f\xbf\xbf", "\xf4\x8f\xbf\xbf"},                      // U+10FFFF
      {"Caf\xe9", "Caf\xc3\xa9"},                                    // Latin-1
      {"\x80" "a", "\xc2\x80" "a"},                                  // lone continuation
      {"\xe2\x82" "a", "\xc3\xa2\xc2\x82" "a"},                      // truncated
      {"\xc3", "\xc3\x83"},                                          // truncated at the end
      {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                              // overlong
      {"\xe0\x80\xaf", "\xc3\xa0\xc2\x80\xc2\xaf"},                  // overlong
      {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xc2\x80"},                  // surrogate U+D800
      {"\xf4\x90\x80\x80", "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"},      // above U+10FFFF
      {"\xff\xfe", "\xc3\xbf\xc3\xbe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(solvarium::jsonEscape(c.in), c.out) << c.in;
    EXPECT_EQ(solvarium::jsonQuote(c.in), "\"" + c.out + "\"") << c.in;
    EXPECT_EQ(solvarium::jsonQuotedSize(c.in), c.out.size() + 2) << c.in;
    EXPECT_TRUE(solvarium_test::isValidJson(solvarium::jsonQuote(c.in))) << c.in;
    EXPECT_EQ(solvarium_test::isValidJson("\"" + c.in + "\""), c.in == c.out) << c.in;
  }
  EXPECT_EQ(solvarium::jsonEscape("\"\\\x01\xe9\n"), "\\\"\\\\\\u0001\xc3\xa9\\n");
}

}  // namespace
