// Brute-force k-nearest-neighbour classifier: X is (n_samples, n_features), one label per row;
// a query is measured against every training point and the k nearest vote (ties go to the smaller
// label). Rows may differ in length; a query must be at least as long as every training point.
// Metrics: "manhattan", "cosine", and Euclidean for any other text. Saves itself as "knn.json".
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/check.hpp"
#include "core/poll_budget.hpp"
#include "core/types.hpp"
#include "models/nearest.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: {"k":5,"metric":"...","x_train":[[...],...],"y_train":["a",...]}; a load fits the model to
// the file's points (all or nothing).
class KNN : public PersistedModel<KNN> {
 public:
  static constexpr const char* default_file = "knn.json";

  explicit KNN(int k = 5, std::string metric = "euclidean");

  // Keeps copies of the points and labels; labels must be at least as many as the points.
  void fit(DoubleMatrix x, std::vector<std::string> y);

  // The distance of the chosen metric from training point a to query b.
  double compute_dist(const DoubleVector& a, const DoubleVector& b) const;

  std::string predict_one(const DoubleVector& x) const;
  std::vector<std::string> predict(const DoubleMatrix& x_test) const;
  // Percentage of rows predicted right, over the number of labels given (at least one per row).
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test) const;

  int k() const { return k_; }
  const std::string& metric() const { return metric_; }
  const DoubleMatrix& x_train() const { return x_train_; }
  const std::vector<std::string>& y_train() const { return y_train_; }

  enum class Metric { euclidean, manhattan, cosine };

 private:
  friend class PersistedModel<KNN>;
  // The read points and labels fitted anew.
  void on_load(const LoadSite& site);
  // Predicts the count queries (at most one batch) into out.
  void predict_batch(const DoubleVector* const* queries, std::size_t count, std::string* out,
                     std::vector<nearest::BoundedHeap>& heaps, std::vector<int>& scratch, PollBudget& budget) const;

  int k_;
  std::string metric_;
  DoubleMatrix x_train_;
  std::vector<std::string> y_train_;

  // Derived from the fields above at construction and fit.
  Metric kind_;
  std::size_t longest_ = 0;     // most components of any training point
  bool blocked_ = false;        // rows rectangular: the grouped layout below serves every query
  std::size_t dim_ = 0;         // components of each point when blocked_
  // Points in groups of kGroup, feature-major within a group (group g, feature f, lane l at
  // (g * dim_ + f) * kGroup + l), so that one vector instruction serves kGroup points at once.
  std::vector<double> groups_;
  std::vector<double> root_norms_;  // cosine: the square root of each point's squared norm
  nearest::LabelRanks ranks_;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "KNN"; }
  static constexpr auto fields() {
    return std::tuple{
        modelfile::field("k", &KNN::k_, +[](const LoadSite& s, const int& k) { check::at_least(s.where(), "k", k, 1); }),
        modelfile::field("metric", &KNN::metric_), modelfile::field("x_train", &KNN::x_train_),
        modelfile::field("y_train", &KNN::y_train_)};
  }
};

}  // namespace tarnwick
