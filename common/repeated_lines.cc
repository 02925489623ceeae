#include "common/repeated_lines.h"

#include <string>

namespace solvarium {

bool RepeatedLines::pass(const std::string& line, Clock::time_point now) {
  std::string text;
  for (const char c : line) {
    if (c < '0' || c > '9') text.push_back(c);
  }
  auto found = texts_.find(text);
  if (found == texts_.end()) {
    if (texts_.size() >= kTrackedTexts) return true;
    found = texts_.emplace(text, Repeats{now, 0, 0, std::string()}).first;
  }
  Repeats& repeats = found->second;
  if (repeats.shown < kShownRepeats) {
    ++repeats.shown;
    return true;
  }
  ++repeats.counted;
  repeats.last = line;
  return false;
}

std::string RepeatedLines::counts(Clock::time_point now, bool all) {
  std::string lines;
  for (auto entry = texts_.begin(); entry != texts_.end();) {
    Repeats& repeats = entry->second;
    if (!all && now - repeats.since < kInterval) {
      ++entry;
    } else if (repeats.counted == 0) {
      entry = texts_.erase(entry);
    } else {
      std::string last = repeats.last.substr(0, 200);
      while (!last.empty() && (last.back() == '\n' || last.back() == '\r')) last.pop_back();
      lines += "(" + std::to_string(repeats.counted) + " more lines like \"" + last + "\" in " +
               std::to_string(kInterval.count()) + " s)\n";
      repeats = Repeats{now, kShownRepeats, 0, std::string()};  // later ones are counted at once
      ++entry;
    }
  }
  return lines;
}

RepeatedLines::Clock::time_point RepeatedLines::nextEnd() const {
  Clock::time_point next = Clock::time_point::max();
  for (const auto& entry : texts_) {
    if (entry.second.since + kInterval < next) next = entry.second.since + kInterval;
  }
  return next;
}

}  // namespace solvarium
