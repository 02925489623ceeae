// Repeats of a line collapsed into counts: of the lines of one text (digits
// left out: thread ids, times, counts), the first kShownRepeats pass; the rest
// are counted, and when the interval that began with the first ends, one
// line gives their count and quotes the last of them. Counting then goes on
// in intervals of its own until one passes without a repeat. At most
// kTrackedTexts texts are tracked; the lines of others always pass. Not
// thread-safe.
#ifndef SOLVARIUM_COMMON_REPEATED_LINES_H_
#define SOLVARIUM_COMMON_REPEATED_LINES_H_

#include <chrono>
#include <cstddef>
#include <map>
#include <string>

namespace solvarium {

class RepeatedLines {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr unsigned long kShownRepeats = 3;
  static constexpr std::chrono::seconds kInterval{10};
  static constexpr std::size_t kTrackedTexts = 64;

  // True when `line` is to be written now; false when it is counted.
  bool pass(const std::string& line, Clock::time_point now);

  // The count lines ("(N more lines like "<last>" in 10 s)\n") of the
  // intervals that have ended by `now`; with `all`, of every interval.
  std::string counts(Clock::time_point now, bool all = false);

  // When the next interval ends; Clock::time_point::max() when none is open.
  Clock::time_point nextEnd() const;

 private:
  struct Repeats {
    Clock::time_point since;  // the interval's start
    unsigned long shown = 0;
    unsigned long counted = 0;
    std::string last;  // the last line counted
  };
  std::map<std::string, Repeats> texts_;
};

}  // namespace solvarium

#endif  // SOLVARIUM_COMMON_REPEATED_LINES_H_
