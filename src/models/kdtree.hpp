// Nearest-neighbour classifier over a k-d tree: X is (n_samples, n_features), one label per row;
// splits at the lower median, the axis cycling through the first row's components; a search
// crosses a split only while its farthest candidate lies strictly beyond the plane, so fewer than
// k points may vote. Euclidean distance; queries at least as long as every point. "kdtree.json".
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/poll_budget.hpp"
#include "core/types.hpp"
#include "models/nearest.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: {"x_train":[[...],...],"y_train":["a",...]}; a load rebuilds the tree from the file's points
// (all or nothing), and a file without points gives an untrained model.
class KDTree : public PersistedModel<KDTree> {
 public:
  static constexpr const char* default_file = "kdtree.json";

  KDTree() = default;

  // At least one point, labels at least as many as the points, every point at least as long as the
  // first; with two or more points the first must have a component to split on.
  void fit(DoubleMatrix x, std::vector<std::string> y);

  std::string predict_one(const DoubleVector& query, int k = 1) const;
  std::vector<std::string> predict(const DoubleMatrix& x_test, int k = 1) const;
  // Percentage of rows predicted right, over the number of labels given (at least one per row).
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test, int k = 1) const;

  const DoubleMatrix& x_train() const { return x_train_; }
  const std::vector<std::string>& y_train() const { return y_train_; }
  int dimension() const { return dimension_; }

 private:
  friend class PersistedModel<KDTree>;
  static KDTree build(const std::string& context, DoubleMatrix x, std::vector<std::string> y);
  void on_load(const LoadSite& site);
  // Arranges order[lo, hi) into the subtree over those points.
  void construct(std::vector<int>& order, std::vector<std::pair<long long, int>>& keyed,
                 const std::vector<double>& flat, std::size_t lo, std::size_t hi, int axis, PollBudget& budget) const;
  // Large: the subtree may hold many points, so crossing its split polls for an interrupt.
  template <bool Large>
  void search(std::size_t lo, std::size_t hi, const double* query, int axis, nearest::BoundedHeap& heap) const;

  std::vector<std::string> y_train_;
  DoubleMatrix x_train_;
  int dimension_ = 0;

  // The tree needs no node objects: the points are kept in in-order position, so the node over
  // the points at [lo, hi) is the one at mid = lo + (hi - lo - 1) / 2, the lower median, with its
  // left subtree over [lo, mid) and its right subtree over [mid + 1, hi).
  std::size_t stride_ = 0;        // doubles per stored point: the longest training point
  std::vector<double> points_;    // node p's point at p * stride_
  std::vector<int> lengths_;      // node p's number of components, kept only for ragged rows
  std::vector<int> index_;        // node p's row in x_train_ (and label in y_train_)
  nearest::LabelRanks ranks_;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "KDTree"; }
  static constexpr auto fields() {
    return std::tuple{modelfile::field("x_train", &KDTree::x_train_), modelfile::field("y_train", &KDTree::y_train_)};
  }
};

}  // namespace tarnwick
