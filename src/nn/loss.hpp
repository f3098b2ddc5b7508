// The network's loss: clipped cross-entropy of one prediction column against one label column.
// Predictions are clipped to [1e-07, 1 - 1e-07] (a nan prediction counts as 1 - 1e-07), so a
// confident mistake costs -log(1e-07) rather than infinity.
#pragma once

#include "core/types.hpp"

namespace tarnwick {

class LossFunctions {
 public:
  // -(sum over k of log(clip(predicted[k])) * actual[k]); actual must be at least as long.
  double cross_entropy_loss(DoubleVector predicted, DoubleVector actual) const;
};

}  // namespace tarnwick
