// Straight-line fit y ~ theta0 + theta1 * x on one feature by batch gradient descent on the squared
// error, its predictions and mean squared error, and its one-line model file.
// x and y are vectors of samples; y must hold at least one entry per x (checked). An empty training
// set is not an error: it leaves both parameters not-a-number.
#pragma once

#include <string>

#include "core/types.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: {"theta0":...,"theta1":...}; a load replaces both parameters or neither.
class LinearRegression : public PersistedModel<LinearRegression> {
 public:
  static constexpr const char* default_file = "linear_regression.json";

  double theta0 = 0.0;  // intercept
  double theta1 = 0.0;  // slope

  // Starts from zero every time; iterations < 1 leaves both parameters exactly 0.0.
  void fit(const DoubleVector& x_train, const DoubleVector& y_train, double learning_rate, int iterations);
  DoubleVector predict(const DoubleVector& x) const;
  // Squared errors summed over x, divided by the number of entries of y.
  double mse(const DoubleVector& x, const DoubleVector& y) const;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "LinearRegression"; }
  static constexpr auto fields() {
    return std::tuple{modelfile::field("theta0", &LinearRegression::theta0),
                      modelfile::field("theta1", &LinearRegression::theta1)};
  }
};

}  // namespace tarnwick
