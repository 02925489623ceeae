// The start filters of the monitor listings: a row passes when its value is
// at least a start value (or, for the ".mntr" reader, is not below it, so a
// NaN passes), or when its load step is above a start step or equal to it
// with a sub-step at least a start sub-step. Values are read as numbers the
// readers' way (leadingDouble, leadingDoubleOrNan, leadingInteger).
#ifndef SOLVARIUM_SOLVERS_GREND_GREND_START_FILTER_H_
#define SOLVARIUM_SOLVERS_GREND_GREND_START_FILTER_H_

#include <cstdint>
#include <string_view>

#include "solvers/grend/grend_text.h"

namespace GREND {

class StartFilter {
 public:
  // Passes every row.
  StartFilter() = default;
  static StartFilter atLeast(double start) {
    StartFilter filter;
    filter.mode_ = kAtLeast;
    filter.start_ = start;
    return filter;
  }
  // Like atLeast(), but values read with leadingDoubleOrNan() and a row
  // dropped only when its value is below `start`: a NaN row stays.
  static StartFilter notBelow(double start) {
    StartFilter filter = atLeast(start);
    filter.mode_ = kNotBelow;
    return filter;
  }
  static StartFilter fromLoadStep(int32_t step, int32_t subStep) {
    StartFilter filter;
    filter.mode_ = kLoadStep;
    filter.step_ = step;
    filter.subStep_ = subStep;
    return filter;
  }

  bool active() const { return mode_ != kNone; }
  // A load-step filter reads a sub-step too.
  bool readsSubStep() const { return mode_ == kLoadStep; }
  // `value`: the row's value (or load step); `subStep`: its sub-step.
  bool passes(std::string_view value, std::string_view subStep = std::string_view()) const {
    if (mode_ == kAtLeast) return start_ <= leadingDouble(value);
    if (mode_ == kNotBelow) return !(leadingDoubleOrNan(value) < start_);
    if (mode_ == kLoadStep) {
      const int32_t step = leadingInteger(value);
      return step > step_ || (step == step_ && leadingInteger(subStep) >= subStep_);
    }
    return true;
  }

 private:
  enum Mode { kNone, kLoadStep, kAtLeast, kNotBelow };
  Mode mode_ = kNone;
  double start_ = 0.0;
  int32_t step_ = 0;
  int32_t subStep_ = 0;
};

}  // namespace GREND

#endif  // SOLVARIUM_SOLVERS_GREND_GREND_START_FILTER_H_
