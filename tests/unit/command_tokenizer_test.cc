#include "common/command_tokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

using solvarium::TokenizeError;
using solvarium::tokenizeCommand;

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> tokens;
  TokenizeError error;
  EXPECT_TRUE(tokenizeCommand(text, &tokens, &error)) << error.message;
  return tokens;
}

TokenizeError failure(const std::string& text) {
  std::vector<std::string> tokens;
  TokenizeError error{"", 999};
  EXPECT_FALSE(tokenizeCommand(text, &tokens, &error)) << text;
  return error;
}

TEST(CommandTokenizerTest, SplitsAtEveryBlankKindWithoutEmptyTokens) {
  EXPECT_EQ(split(" \t\r\naaS.get_status \n\t a  b\r\n"),
            (std::vector<std::string>{"aaS.get_status", "a", "b"}));
  EXPECT_TRUE(split("").empty());
  EXPECT_TRUE(split(" \t\n\r ").empty());
}

TEST(CommandTokenizerTest, QuotedArgumentsStayWholeWithTheirQuotes) {
  EXPECT_EQ(split("aaS.getenv \"A B\" x"),
            (std::vector<std::string>{"aaS.getenv", "\"A B\"", "x"}));
  // An escaped quote stays, backslash included: six characters.
  const std::vector<std::string> tokens = split("cmd \"a\\\"b\"");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[1], "\"a\\\"b\"");
  EXPECT_EQ(tokens[1].size(), 6u);
  // A closing quote at the very end, and one followed by a TAB.
  EXPECT_EQ(split("\"x\"\t\"y z\""), (std::vector<std::string>{"\"x\"", "\"y z\""}));
}

TEST(CommandTokenizerTest, MisplacedQuotesReportMessageAndTokenPosition) {
  TokenizeError e = failure("aaS.x one tw\"o");
  EXPECT_EQ(e.message, "Unexpected double quote in argument");
  EXPECT_EQ(e.position, 2u);

  e = failure("aaS.x \"ab\"c");
  EXPECT_EQ(e.message, "Unexpected double quote in argument");
  EXPECT_EQ(e.position, 1u);

  e = failure("aaS.x a \"\" b");
  EXPECT_EQ(e.message, "Invalid double quoted argument");
  EXPECT_EQ(e.position, 2u);

  e = failure("aaS.x a b \"open ended");
  EXPECT_EQ(e.message, "Missing double quote in argument");
  EXPECT_EQ(e.position, 3u);

  // A quote escaped at the end leaves the argument open.
  e = failure("aaS.x \"a\\\"");
  EXPECT_EQ(e.message, "Missing double quote in argument");
  EXPECT_EQ(e.position, 1u);
}

TEST(CommandTokenizerTest, SplitAtBlanksPointsIntoTheTextWithoutQuoting) {
  const std::string text = "\t a\"b\r\n\"c d\" e ";
  const std::vector<std::string_view> tokens = solvarium::splitAtBlanks(text);
  EXPECT_EQ(tokens, (std::vector<std::string_view>{"a\"b", "\"c", "d\"", "e"}));
  EXPECT_EQ(tokens.capacity(), tokens.size());
  for (std::string_view token : tokens) {
    EXPECT_TRUE(token.data() >= text.data() &&
                token.data() + token.size() <= text.data() + text.size());
  }
  EXPECT_TRUE(solvarium::splitAtBlanks(" \t\r\n").empty());
  EXPECT_EQ(solvarium::splitAtBlanks("x").size(), 1u);
}

TEST(CommandTokenizerTest, PositionIsClampedNotWrapped) {
  EXPECT_EQ(solvarium::clampPosition(0), 0);
  EXPECT_EQ(solvarium::clampPosition(32767), 32767);
  EXPECT_EQ(solvarium::clampPosition(32768), 32767);
  EXPECT_EQ(solvarium::clampPosition(70000), 32767);

  std::string text = "cmd";
  for (int i = 0; i < 40000; ++i) text += " a";
  text += " b\"c";
  const TokenizeError e = failure(text);
  EXPECT_EQ(e.position, 40001u);
  EXPECT_EQ(solvarium::clampPosition(e.position), 32767);
}

}  // namespace
