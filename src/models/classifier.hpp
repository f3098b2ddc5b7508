// What the classifiers share beyond their files: the accuracy percentage, and the one-call form of
// a prediction that counts the table entries it lacks as 0 and then adds them (the naive Bayes
// models; see their add_missing).
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick {

// The label a prediction should match; a model that reduces labels (every label other than its
// positive class is negative) passes its own.
struct SameLabel {
  const std::string& operator()(const std::string& label) const { return label; }
};

// Percentage of predictions equal to the expected form of their label, over the number of labels
// given (at least one per prediction, checked by the caller): the count is divided first, then
// multiplied by 100, and no labels give nan.
template <typename Expected = SameLabel>
double percent_correct(const std::vector<std::string>& predicted, const std::vector<std::string>& labels,
                       Expected expected = {}) {
  std::size_t correct = 0;
  for (std::size_t i = 0; i < predicted.size(); ++i) correct += predicted[i] == expected(labels[i]);
  return double(correct) / double(labels.size()) * 100;
}

// predict(const Model&, Model::Missing&) and then the entries it gathered added to model.
template <typename Model, typename Predict>
auto predict_and_add(Model& model, Predict predict) {
  typename Model::Missing missing;
  auto result = predict(std::as_const(model), missing);
  model.add_missing(missing);
  return result;
}

}  // namespace tarnwick
