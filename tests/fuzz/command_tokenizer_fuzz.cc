// Command tokeniser. Properties: the tokens of a text, joined by any blank,
// tokenise to the same tokens; an error found inside the text does not change
// whatever follows it, and an unterminated quote stays unterminated.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/command_tokenizer.h"
#include "tests/fuzz/fuzz_check.h"

using solvarium_fuzz::check;

namespace {

std::string join(const std::vector<std::string>& tokens, const std::string& blank) {
  std::string text;
  for (const std::string& token : tokens) text += (text.empty() ? "" : blank) + token;
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> tokens;
  solvarium::TokenizeError error{"", 0};
  if (solvarium::tokenizeCommand(text, &tokens, &error)) {
    for (const std::string& token : tokens) {
      check(!token.empty(), "empty token", text);
      if (token[0] != '"') {
        check(token.find_first_of(" \t\r\n\"") == std::string::npos, "blank or quote in word",
              token);
      } else {
        check(token.size() > 2 && token.back() == '"', "quoted token not closed", token);
      }
    }
    for (const char* blank : {" ", "\t", "\r\n", "  \n "}) {
      std::vector<std::string> again;
      solvarium::TokenizeError againError{"", 0};
      check(solvarium::tokenizeCommand(join(tokens, blank), &again, &againError),
            "joined tokens do not tokenise", againError.message);
      check(again == tokens, "joined tokens tokenise differently", text);
    }
    return 0;
  }

  check(error.message == solvarium::kUnexpectedQuote || error.message == solvarium::kEmptyQuoted ||
            error.message == solvarium::kMissingQuote,
        "unknown error text", error.message);
  check(error.position <= size, "error position past the text", text);
  // The same error, whatever comes after the text (an unterminated quote
  // stays unterminated when the added text holds no quote).
  const std::string tail = error.message == solvarium::kMissingQuote ? " more words" : " \"x\" y\"";
  std::vector<std::string> longer;
  solvarium::TokenizeError longerError{"", 0};
  check(!solvarium::tokenizeCommand(text + tail, &longer, &longerError), "error vanished", text);
  check(longerError.message == error.message && longerError.position == error.position,
        "error changed with the text after it", text + "\n" + longerError.message);
  return 0;
}
