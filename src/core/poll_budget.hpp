// Loops whose items differ widely in cost (a query of 3 components or of 100,000) poll for an
// interrupt once per block of work rather than once per item: each item spends its arithmetic
// steps, and the clock is read only when a block's worth is spent. Items of any size then give
// way within a fraction of a millisecond of work, and small items pay one subtraction each.
#pragma once

#include <cstddef>

#include "core/interrupt.hpp"

namespace tarnwick {

class PollBudget {
 public:
  // About 20 to 100 microseconds of arithmetic: a clock read per block costs well under 1 %.
  static constexpr std::size_t kSteps = std::size_t(1) << 16;

  // Polls (and so may throw the host's exception) once the steps spent since the last poll reach
  // a block.
  void spend(std::size_t steps) {
    if (steps < left_) {
      left_ -= steps;
      return;
    }
    left_ = kSteps;
    poll_interrupt();
  }

 private:
  std::size_t left_ = kSteps;
};

}  // namespace tarnwick
