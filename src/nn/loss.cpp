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

DoubleMatrix LossFunctions::softmax_cross_entropy_gradient(const DoubleMatrix& probabilities,
                                                           const DoubleMatrix& labels) const {
  const DoubleMatrix& A = probabilities;
  const std::size_t cols = check::nonempty_rectangular("softmax_cross_entropy_gradient", "probabilities", A);
  check::same_shape_prefix("softmax_cross_entropy_gradient", A, labels, A.size(), cols);
  const double N = double(labels[0].size());
  DoubleMatrix G(A.size(), DoubleVector(cols, 0.0));
  for (std::size_t k = 0; k < A.size(); ++k) {
    for (std::size_t i = 0; i < cols; ++i) G[k][i] = (A[k][i] - labels[k][i]) / N;
  }
  return G;
}

}  // namespace tarnwick
