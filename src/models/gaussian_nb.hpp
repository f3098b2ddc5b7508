// Gaussian naive Bayes: X is (n_samples, n_features), one label per row; per class and feature a
// mean and population variance; a class scores its log prior plus log densities (variance floor
// 1e-10, density floor 1e-300), ties to the smaller label. A table entry a query needs but the
// model lacks counts as 0 and is added as 0 once the prediction is done, so predictions change
// what save writes. "gaussian_nb.json".
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/types.hpp"
#include "models/derived_cache.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: {"n":N,"class_ratio":{...},"class_numbering":{...},"mean":{"label|j":m,...},"variance":{...}};
// a load replaces every table or none.
class GaussianNaiveBayes : public PersistedModel<GaussianNaiveBayes> {
 public:
  static constexpr const char* default_file = "gaussian_nb.json";

  using LabelIndex = std::pair<std::string, int>;  // (label, feature index)

  // The entries a prediction read as 0 because the model lacks them, allocated and ready to go in.
  struct Missing {
    std::uint64_t revision = 0;  // the model's revision when they were gathered
    std::map<std::string, int> class_ratio;
    std::map<LabelIndex, double> mean, variance;
    bool empty() const { return class_ratio.empty() && mean.empty() && variance.empty(); }
  };

  GaussianNaiveBayes() = default;

  // At least one row, labels at least as many as the rows, every row at least as long as the
  // first (the features are the first row's). Class numbers from earlier fits are kept, and so are
  // the statistics of classes and features this fit does not see. All or nothing.
  void fit(const DoubleMatrix& x, const std::vector<std::string>& y);

  // Predictions that only read the model (any number may run at once): what they lack counts as 0
  // and is gathered in missing, which they overwrite.
  std::string predict_one(const DoubleVector& x, Missing& missing) const;
  std::vector<std::string> predict(const DoubleMatrix& x_test, Missing& missing) const;
  // Percentage of rows predicted right, over the number of labels given (at least one per row).
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test, Missing& missing) const;
  // Adds the gathered entries as 0, unless the model was fitted or loaded since they were gathered
  // (false, and nothing added). Cannot fail: the prediction allocated them.
  bool add_missing(Missing& missing) noexcept;

  // A prediction and then its add_missing, as one call that changes the model.
  std::string predict_one(const DoubleVector& x);
  std::vector<std::string> predict(const DoubleMatrix& x_test);
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test);

  int n() const { return n_; }
  const std::map<std::string, int>& class_ratio() const { return class_ratio_; }
  const std::map<std::string, int>& class_numbering() const { return class_numbering_; }
  const std::map<LabelIndex, double>& mean() const { return mean_; }
  const std::map<LabelIndex, double>& variance() const { return variance_; }

 private:
  // What a prediction reads, one row of `width` per class of class_numbering_ in label order, with
  // 0 for every entry the model lacks; and which entries those were.
  struct Tables {
    std::size_t width = 0;
    std::vector<std::string> labels;  // the keys of class_numbering_
    std::vector<double> log_prior;
    std::vector<double> mu, two_v, coefficient;  // [class * width + feature]
    std::vector<std::string> ratio_missing;
    std::vector<LabelIndex> mean_missing, variance_missing;
  };

  friend class PersistedModel<GaussianNaiveBayes>;
  // Drops the kept tables and counts the load as a new revision of the fields.
  void on_load(const LoadSite&) noexcept;
  // Tables covering queries of `width` components: the kept ones when wide enough, else new ones
  // (at least as wide as the kept ones, so that they only ever grow).
  std::shared_ptr<const Tables> tables(std::size_t width) const;
  Tables build_tables(std::size_t width) const;
  std::string classify(const Tables& t, const DoubleVector& x, std::vector<double>& scratch) const;
  void gather(const Tables& t, std::size_t width, Missing& missing) const;

  int n_ = 0;
  std::map<std::string, int> class_ratio_;
  std::map<std::string, int> class_numbering_;
  std::map<LabelIndex, double> mean_;
  std::map<LabelIndex, double> variance_;

  DerivedCache<Tables> tables_;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "GaussianNaiveBayes"; }
  static constexpr auto fields() {
    using M = GaussianNaiveBayes;
    return std::tuple{modelfile::field("n", &M::n_), modelfile::field("class_ratio", &M::class_ratio_),
                      modelfile::field("class_numbering", &M::class_numbering_), modelfile::field("mean", &M::mean_),
                      modelfile::field("variance", &M::variance_)};
  }
};

}  // namespace tarnwick
