// Straight-line fit y ~ theta0 + theta1 * x on one feature by batch gradient descent on the squared
// error, its predictions and mean squared error, and its one-line model file.
// x and y are vectors of samples; y must hold at least one entry per x (checked). An empty training
// set is not an error: it leaves both parameters not-a-number.
#pragma once

#include <string>

#include "core/object_lock.hpp"
#include "core/model_file.hpp"
#include "core/types.hpp"

namespace tarnwick {

class LinearRegression {
 public:
  // The file save and load use when given no path.
  static constexpr const char* default_file = "linear_regression.json";

  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  double theta0 = 0.0;  // intercept
  double theta1 = 0.0;  // slope

  // Starts from zero every time; iterations < 1 leaves both parameters exactly 0.0.
  void fit(const DoubleVector& x_train, const DoubleVector& y_train, double learning_rate, int iterations);
  DoubleVector predict(const DoubleVector& x) const;
  // Squared errors summed over x, divided by the number of entries of y.
  double mse(const DoubleVector& x, const DoubleVector& y) const;

  // {"theta0":...,"theta1":...}
  void save(const std::filesystem::path& path) const;
  // Either both parameters are replaced or, on any error, neither.
  void load(const std::filesystem::path& path);
  // The text save writes and load reads, without a file (what pickling carries).
  std::string to_text() const;
  void load_text(const std::string& text);

 private:
  void read(const modelfile::Reader& r);
};

}  // namespace tarnwick
