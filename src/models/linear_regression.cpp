#include "models/linear_regression.hpp"

#include <algorithm>

#include "core/check.hpp"
#include "core/poll_budget.hpp"

namespace tarnwick {

void LinearRegression::fit(const DoubleVector& x_train, const DoubleVector& y_train, double learning_rate,
                           int iterations) {
  constexpr const char* fn = "LinearRegression.fit";
  check::labels_cover_rows(fn, x_train.size(), y_train.size(), check::Wording::targets, "x_train", "y_train");
  const int n = check::count32(fn, x_train.size(), "x_train");
  if (iterations < 1) {
    theta0 = theta1 = 0.0;
    return;
  }
  // One step size for every iteration: an empty x_train makes it infinite (nan for a zero rate),
  // and its product with the empty sums leaves both parameters not-a-number.
  const double step = (-learning_rate) / n;
  const double* x = x_train.data();
  const double* y = y_train.data();
  double a = 0.0, b = 0.0;
  PollBudget budget;
  for (int it = 0; it < iterations; ++it) {
    double g0 = 0.0, g1 = 0.0;
    for (int j = 0; j < n; ++j) {
      const double e = (b * x[j] + a) - y[j];
      g0 += e;
      g1 += e * x[j];
    }
    a = a + g0 * step;
    b = b + g1 * step;
    budget.spend(std::size_t(n) + 1);
  }
  theta0 = a;
  theta1 = b;
}

DoubleVector LinearRegression::predict(const DoubleVector& x) const {
  DoubleVector p(x.size());
  // In blocks, so that the loop within a block stays free of calls and vectorises.
  for (std::size_t first = 0; first < x.size(); first += PollBudget::kSteps) {
    const std::size_t last = std::min(x.size(), first + PollBudget::kSteps);
    for (std::size_t i = first; i < last; ++i) p[i] = theta1 * x[i] + theta0;
    poll_interrupt();
  }
  return p;
}

double LinearRegression::mse(const DoubleVector& x, const DoubleVector& y) const {
  check::labels_cover_rows("LinearRegression.mse", x.size(), y.size(), check::Wording::targets);
  const DoubleVector p = predict(x);
  double s = 0.0;
  PollBudget budget;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const double d = p[i] - y[i];
    s += d * d;
    budget.spend(1);
  }
  // Divided by the number of targets given, not of predictions; empty input is 0/0.
  return s / double(y.size());
}

}  // namespace tarnwick
