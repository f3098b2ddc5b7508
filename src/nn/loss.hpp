// The network's loss: clipped cross-entropy of one prediction column against one label column,
// and the gradient that training seeds for it. Predictions are clipped to [1e-07, 1 - 1e-07] (a nan
// prediction counts as 1 - 1e-07), so a confident mistake costs -log(1e-07) rather than infinity.
#pragma once

#include "core/types.hpp"

namespace tarnwick {

class LossFunctions {
 public:
  // -(sum over k of log(clip(predicted[k])) * actual[k]); actual must be at least as long.
  double cross_entropy_loss(DoubleVector predicted, DoubleVector actual) const;
  // d(mean loss over the samples) / d(softmax input) for softmax outputs (classes x samples) and
  // labels of at least that shape: (probabilities - labels) / samples, samples being the columns
  // of labels. It is the unclipped softmax-with-cross-entropy gradient: the clip of the reported
  // loss plays no part in training.
  DoubleMatrix softmax_cross_entropy_gradient(const DoubleMatrix& probabilities, const DoubleMatrix& labels) const;
};

}  // namespace tarnwick
