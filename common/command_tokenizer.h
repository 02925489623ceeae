// Splits an "aaS." command text into tokens. Shared by every solver kind.
//
// Blanks (space, TAB, LF, CR) separate tokens; runs of blanks give no empty
// tokens. A double-quoted argument is one token that keeps its quotes; a
// quote preceded by a backslash inside quotes is kept as text (the backslash
// stays too). Token 0 is the command name.
#ifndef SOLVARIUM_COMMON_COMMAND_TOKENIZER_H_
#define SOLVARIUM_COMMON_COMMAND_TOKENIZER_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace solvarium {

// Why a command text could not be split.
struct TokenizeError {
  std::string message;    // e.g. "Missing double quote in argument"
  std::size_t position;   // number of tokens complete when the error was found
};

// Error messages, byte for byte as clients see them.
extern const char* const kUnexpectedQuote;  // "Unexpected double quote in argument"
extern const char* const kEmptyQuoted;      // "Invalid double quoted argument"
extern const char* const kMissingQuote;     // "Missing double quote in argument"

// Splits `text` into `tokens` (cleared first). Returns false and fills
// `error` when a double quote is misplaced: in the middle of a word, right
// before a non-blank after a closing quote, an empty pair, or unterminated.
bool tokenizeCommand(const std::string& text, std::vector<std::string>* tokens,
                     TokenizeError* error);

// Splits `text` at blanks (space, TAB, LF, CR) without any quoting: every
// run of other characters is one token, quotes included. The tokens point
// into `text`, which must outlive them.
std::vector<std::string_view> splitAtBlanks(std::string_view text);

// A token index as the 16-bit `position` of an invalid-argument exception:
// values above 32767 are clamped to 32767, never wrapped.
int16_t clampPosition(std::size_t position);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_COMMAND_TOKENIZER_H_
