#include "common/text_words.h"

#include <algorithm>

namespace solvarium {

std::vector<std::string_view> splitWords(std::string_view text, std::string_view separators) {
  std::vector<std::string_view> words;
  std::size_t start = text.find_first_not_of(separators);
  while (start != std::string_view::npos) {
    const std::size_t end = std::min(text.find_first_of(separators, start), text.size());
    words.push_back(text.substr(start, end - start));
    start = text.find_first_not_of(separators, end);
  }
  return words;
}

std::string_view trimChars(std::string_view text, std::string_view set) {
  const std::size_t begin = text.find_first_not_of(set);
  if (begin == std::string_view::npos) return std::string_view();
  return text.substr(begin, text.find_last_not_of(set) - begin + 1);
}

bool matchPrefix(std::string_view text, std::string_view prefix, std::string* payload) {
  if (text.compare(0, prefix.size(), prefix) != 0) return false;
  if (payload != nullptr) payload->assign(text.substr(prefix.size()));
  return true;
}

}  // namespace solvarium
