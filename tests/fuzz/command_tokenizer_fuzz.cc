// Command tokeniser. Property: its tokens, or its error and position, are
// those of a small independent statement of the rule below, which finds
// each token's end by searching instead of walking the text one character
// at a time.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/command_tokenizer.h"
#include "tests/fuzz/fuzz_check.h"

using solvarium_fuzz::check;

namespace {

const char kBlanks[] = " \t\n\r";

struct Split {
  std::vector<std::string> tokens;
  std::string error;  // "" when the text splits
  std::size_t position = 0;
};

// A word runs to the next blank and holds no quote. A quoted token runs from
// its quote to the next quote that no backslash precedes, holds something,
// and is followed by a blank or the end.
Split modelSplit(const std::string& text) {
  Split split;
  auto fail = [&](const char* message) {
    split.error = message;
    split.position = split.tokens.size();
    return split;
  };
  std::size_t start = text.find_first_not_of(kBlanks);
  while (start != std::string::npos) {
    std::size_t end;  // one past the token
    if (text[start] == '"') {
      std::size_t close = start;
      do {
        close = text.find('"', close + 1);
      } while (close != std::string::npos && text[close - 1] == '\\');
      if (close == start + 1) return fail(solvarium::kEmptyQuoted);
      if (close == std::string::npos) return fail(solvarium::kMissingQuote);
      end = close + 1;
      if (end < text.size() && std::string(kBlanks).find(text[end]) == std::string::npos) {
        return fail(solvarium::kUnexpectedQuote);
      }
    } else {
      end = std::min(text.find_first_of(kBlanks, start), text.size());
      if (text.find('"', start) < end) return fail(solvarium::kUnexpectedQuote);
    }
    split.tokens.push_back(text.substr(start, end - start));
    start = text.find_first_not_of(kBlanks, end);
  }
  return split;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> tokens;
  solvarium::TokenizeError error{"", 0};
  const bool ok = solvarium::tokenizeCommand(text, &tokens, &error);
  const Split model = modelSplit(text);
  check(ok == model.error.empty(),
        ok ? "split, the rule says " + model.error : "refused, the rule splits", text);
  if (ok) {
    check(tokens == model.tokens, "tokens differ from the rule's", text);
  } else {
    check(error.message == model.error && error.position == model.position,
          "error or position differ from the rule's", text + "\n" + error.message);
  }
  return 0;
}
