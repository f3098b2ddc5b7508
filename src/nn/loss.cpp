#include "nn/loss.hpp"

#include <cmath>

#include "core/check.hpp"

namespace tarnwick {

double LossFunctions::cross_entropy_loss(DoubleVector predicted, DoubleVector actual) const {
  check::covers("cross_entropy_loss", predicted, actual);
  constexpr double lower = 1e-07;
  constexpr double upper = 1.0 - 1e-07;
  double sum = 0.0;
  for (std::size_t k = 0; k < predicted.size(); ++k) {
    // Written so that a nan prediction fails the first comparison and is clipped to the upper bound.
    double q = predicted[k] < upper ? predicted[k] : upper;
    q = q > lower ? q : lower;
    sum += std::log(q) * actual[k];
  }
  return -sum;
}

}  // namespace tarnwick
