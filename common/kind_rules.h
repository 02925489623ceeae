// Rules that more than one kind follows: the started/ended broadcasts and
// the auto-save period command. Plain functions; the caller serialises.
#ifndef SOLVARIUM_COMMON_KIND_RULES_H_
#define SOLVARIUM_COMMON_KIND_RULES_H_

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/state_flags.h"
#include "common/text_words.h"

namespace solvarium {

// "broadcast::started:" turns the payload on (and "prejournaling" off for
// exactly "journaling"), "broadcast::ended:" turns it off; any other message
// changes nothing. The payload is everything after the prefix, colons
// included, maybe empty.
inline void applyStartedEnded(const std::string& message, StateFlags* flags) {
  std::string payload;
  if (matchPrefix(message, "broadcast::started:", &payload)) {
    flags->set(payload, true);
    if (payload == "journaling") flags->set("prejournaling", false);
  } else if (matchPrefix(message, "broadcast::ended:", &payload)) {
    flags->set(payload, false);
  }
}

// Reads a whole decimal number of minutes the way stream extraction does
// (leading blanks, optional sign, nothing after it); true when it is >= 1.
inline bool parseAutoSavePeriod(const std::string& text, int32_t* minutes) {
  std::istringstream stream(text);
  int32_t value = 0;
  if (!(stream >> value) || stream.peek() != std::char_traits<char>::eof() || value < 1) {
    return false;
  }
  *minutes = value;
  return true;
}

// "aaS.set_auto_save_period_json_monitors [<minutes>]": sets `*minutes` and
// answers. Without a value asks ask(prompt, current value); a second value or
// a value that is not a whole number >= 1 goes to fail(text). Neither returns.
// A "," stands for `comma` when that is >= 1.
template <typename Ask, typename Fail>
std::string autoSavePeriodCommand(const std::vector<std::string>& tokens, int32_t* minutes,
                                  int32_t comma, Ask ask, Fail fail) {
  if (tokens.size() == 1) ask("Auto-Save period in minutes", std::to_string(*minutes));
  if (tokens.size() > 2) fail("Invalid command[" + tokens[2] + "]");
  int32_t value = comma;
  if ((tokens[1] != "," || comma < 1) && !parseAutoSavePeriod(tokens[1], &value)) {
    fail("Please provide a positive number for auto-save period.");
  }
  *minutes = value;
  return "Auto-Save period set to " + std::to_string(value) + " minutes.";
}

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_KIND_RULES_H_
