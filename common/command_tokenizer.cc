#include "common/command_tokenizer.h"

#include "common/text_words.h"

namespace solvarium {

const char* const kUnexpectedQuote = "Unexpected double quote in argument";
const char* const kEmptyQuoted = "Invalid double quoted argument";
const char* const kMissingQuote = "Missing double quote in argument";

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool fail(const char* message, std::size_t position, TokenizeError* error) {
  if (error != nullptr) {
    error->message = message;
    error->position = position;
  }
  return false;
}

}  // namespace

bool tokenizeCommand(const std::string& text, std::vector<std::string>* tokens,
                     TokenizeError* error) {
  tokens->clear();
  std::string current;
  bool inQuotes = false;
  const std::size_t size = text.size();
  for (std::size_t i = 0; i < size; ++i) {
    const char c = text[i];
    if (c == '"') {
      if (!inQuotes) {
        if (!current.empty()) return fail(kUnexpectedQuote, tokens->size(), error);
        current += c;
        inQuotes = true;
      } else if (current.size() == 1) {
        return fail(kEmptyQuoted, tokens->size(), error);
      } else if (text[i - 1] == '\\') {
        current += c;  // escaped quote: kept with its backslash
      } else if (i + 1 < size && !isBlank(text[i + 1])) {
        return fail(kUnexpectedQuote, tokens->size(), error);
      } else {
        current += c;
        tokens->push_back(current);
        current.clear();
        inQuotes = false;
      }
    } else if (isBlank(c) && !inQuotes) {
      if (!current.empty()) {
        tokens->push_back(current);
        current.clear();
      }
    } else {
      current += c;
    }
  }
  if (inQuotes) return fail(kMissingQuote, tokens->size(), error);
  if (!current.empty()) tokens->push_back(current);
  return true;
}

std::vector<std::string_view> splitAtBlanks(std::string_view text) {
  return splitWords(text, " \t\n\r");
}

int16_t clampPosition(std::size_t position) {
  return position > 32767 ? static_cast<int16_t>(32767) : static_cast<int16_t>(position);
}

}  // namespace solvarium
