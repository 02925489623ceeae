// Text rules that the kinds' message and command readers share: words
// between separator runs, and a message's payload after a known prefix.
#ifndef SOLVARIUM_COMMON_TEXT_WORDS_H_
#define SOLVARIUM_COMMON_TEXT_WORDS_H_

#include <string>
#include <string_view>
#include <vector>

namespace solvarium {

// The words of `text`, separated by runs of characters of `separators`; no
// empty words. They point into `text`, which must outlive them.
std::vector<std::string_view> splitWords(std::string_view text, std::string_view separators);

// `text` without leading and trailing characters of `set`.
std::string_view trimChars(std::string_view text, std::string_view set);

// True when `text` begins with `prefix`; `payload` (when not null) is then
// the rest of `text`, maybe empty.
bool matchPrefix(std::string_view text, std::string_view prefix, std::string* payload = nullptr);

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_TEXT_WORDS_H_
