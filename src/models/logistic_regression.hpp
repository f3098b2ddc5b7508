// Binary logistic regression over rows of features (one row per sample) with string labels: one
// label is the positive class, every other label is negative and is predicted as "". Fitted by
// batch gradient ascent on the mean log-likelihood; thetas = intercept, then one weight per feature.
// Training rows must be rectangular with a label each, and query rows no longer than the weights
// (both checked); numeric trouble shows up as infinities and not-a-numbers, never as errors.
#pragma once

#include <string>
#include <vector>

#include "core/types.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: {"positive_class":"...","thetas":[...]}; a load replaces both fields or neither.
class LogisticRegression : public PersistedModel<LogisticRegression> {
 public:
  static constexpr const char* default_file = "logistic_regression.json";

  std::string positive_class;  // "" until given, or chosen by fit as the smallest label
  DoubleVector thetas;         // empty until fitted or loaded

  explicit LogisticRegression(std::string positive_class = "");

  // Starts from zero weights; iterations < 1 leaves d + 1 zeros.
  void fit(const DoubleMatrix& x_train, const std::vector<std::string>& y_train, double learning_rate,
           int iterations);
  // sigma(thetas[0] + sum_j thetas[j+1] * x_j) per row.
  DoubleVector predict_proba(const DoubleMatrix& x) const;
  // positive_class where the probability is at least threshold, "" otherwise (also for nan).
  std::vector<std::string> predict(const DoubleMatrix& x_test, double threshold) const;
  // Percentage of rows whose prediction matches the label reduced to positive_class or "";
  // divided by the number of labels given.
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test, double threshold) const;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "LogisticRegression"; }
  static constexpr auto fields() {
    return std::tuple{modelfile::field("positive_class", &LogisticRegression::positive_class),
                      modelfile::field("thetas", &LogisticRegression::thetas)};
  }
};

}  // namespace tarnwick
