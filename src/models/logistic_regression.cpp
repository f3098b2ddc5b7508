#include "models/logistic_regression.hpp"

#include <algorithm>
#include <cmath>

#include "core/activation_math.hpp"
#include "core/check.hpp"
#include "core/poll_budget.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

// The score runs from the intercept, adding one product at a time in feature order.
double score(const double* w, const DoubleVector& row) {
  double z = w[0];
  for (std::size_t j = 0; j < row.size(); ++j) z += w[j + 1] * row[j];
  return z;
}

using activation_math::sigmoid;

}  // namespace

LogisticRegression::LogisticRegression(std::string positive) : positive_class(std::move(positive)) {}

void LogisticRegression::fit(const DoubleMatrix& x_train, const std::vector<std::string>& y_train,
                             double learning_rate, int iterations) {
  constexpr const char* fn = "LogisticRegression.fit";
  const std::size_t d = check::nonempty_rectangular(fn, "x_train", x_train);
  check::labels_cover_rows(fn, x_train.size(), y_train.size(), check::Wording::labels_first, "x_train", "y_train");
  check::count32(fn, x_train.size(), "x_train");
  // The positive class is decided here but kept only with the weights, once they are all computed.
  std::string positive = positive_class.empty() ? *std::min_element(y_train.begin(), y_train.end()) : positive_class;
  DoubleVector w(d + 1, 0.0);
  if (iterations >= 1) {
    const double m = double(x_train.size());
    DoubleVector g(d + 1);
    PollBudget budget;
    for (int it = 0; it < iterations; ++it) {
      std::fill(g.begin(), g.end(), 0.0);
      for (std::size_t i = 0; i < x_train.size(); ++i) {
        const DoubleVector& row = x_train[i];
        const double t = y_train[i] == positive ? 1.0 : 0.0;
        const double e = t - sigmoid(score(w.data(), row));
        g[0] = g[0] + e;
        for (std::size_t j = 0; j < d; ++j) g[j + 1] = row[j] * e + g[j + 1];
      }
      for (std::size_t j = 0; j <= d; ++j) w[j] = w[j] + (g[j] * learning_rate) / m;
      budget.spend(x_train.size() * (d + 2));
    }
  }
  positive_class = std::move(positive);
  thetas = std::move(w);
}

DoubleVector LogisticRegression::predict_proba(const DoubleMatrix& x) const {
  for (std::size_t i = 0; i < x.size(); ++i) {
    // The intercept is read even for an empty row, so an unfitted model answers no row.
    if (x[i].size() + 1 > thetas.size()) {
      check::fail("LogisticRegression.predict_proba",
                  "row " + std::to_string(i) + " has " + std::to_string(x[i].size()) + " entries, but thetas has " +
                      std::to_string(thetas.size()) + " (an intercept and one weight per feature; fit or load first)");
    }
  }
  DoubleVector p(x.size());
  PollBudget budget;
  for (std::size_t i = 0; i < x.size(); ++i) {
    p[i] = sigmoid(score(thetas.data(), x[i]));
    budget.spend(x[i].size() + 1);
  }
  return p;
}

std::vector<std::string> LogisticRegression::predict(const DoubleMatrix& x_test, double threshold) const {
  const DoubleVector p = predict_proba(x_test);
  std::vector<std::string> out(p.size());
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] >= threshold) out[i] = positive_class;
  }
  return out;
}

double LogisticRegression::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test,
                                    double threshold) const {
  check::labels_cover_rows("LogisticRegression.accuracy", x_test.size(), y_test.size(), check::Wording::labels_first,
                           "x_test", "y_test");
  static const std::string negative;
  // Every label other than the positive class is the negative class, whatever its text.
  return percent_correct(predict(x_test, threshold), y_test, [&](const std::string& label) -> const std::string& {
    return label == positive_class ? positive_class : negative;
  });
}

}  // namespace tarnwick
