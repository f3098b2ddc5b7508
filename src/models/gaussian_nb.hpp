// Gaussian naive Bayes: X is (n_samples, n_features), one label per row; per class and feature a
// mean and population variance; a class scores its log prior plus log densities (variance floor
// 1e-10, density floor 1e-300), ties to the smaller label. A table entry a query needs but the
// model lacks is added as 0, so predictions change what save writes. "gaussian_nb.json".
#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "core/object_lock.hpp"
#include "core/model_file.hpp"
#include "core/types.hpp"

namespace tarnwick {

class GaussianNaiveBayes {
 public:
  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  using LabelIndex = std::pair<std::string, int>;  // (label, feature index)

  GaussianNaiveBayes() = default;

  // At least one row, labels at least as many as the rows, every row at least as long as the
  // first (the features are the first row's). Class numbers from earlier fits are kept, and so are
  // the statistics of classes and features this fit does not see.
  void fit(const DoubleMatrix& x, const std::vector<std::string>& y);

  std::string predict_one(const DoubleVector& x);
  std::vector<std::string> predict(const DoubleMatrix& x_test);
  // Percentage of rows predicted right, over the number of labels given (at least one per row).
  double accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test);

  void save(const std::filesystem::path& path = "gaussian_nb.json") const;
  // All or nothing: on any error the model is left as it was.
  void load(const std::filesystem::path& path = "gaussian_nb.json");
  // The text save writes and load reads, without a file (what pickling carries).
  std::string to_text() const;
  void load_text(const std::string& text);

  int n() const { return n_; }
  const std::map<std::string, int>& class_ratio() const { return class_ratio_; }
  const std::map<std::string, int>& class_numbering() const { return class_numbering_; }
  const std::map<LabelIndex, double>& mean() const { return mean_; }
  const std::map<LabelIndex, double>& variance() const { return variance_; }

 private:
  void read(const modelfile::Reader& r);
  // Per-class sums of x / n_c and x * x / n_c over the rows, then mean and variance from them;
  // classes are numbered 0.. by first appearance in row_class, label_of and count_of.
  void calculate_moments(const DoubleMatrix& x, const std::vector<std::size_t>& row_class,
                         const std::vector<const std::string*>& label_of, const std::vector<int>& count_of,
                         std::size_t features);
  // Makes the dense tables cover queries of `width` components, adding missing entries as 0.
  void prepare(std::size_t width);

  int n_ = 0;
  std::map<std::string, int> class_ratio_;
  std::map<std::string, int> class_numbering_;
  std::map<LabelIndex, double> mean_;
  std::map<LabelIndex, double> variance_;

  // What a prediction reads, one row of `width_` per class of class_numbering_ in label order;
  // rebuilt after fit and load, widened when a longer query comes.
  bool prepared_ = false;
  std::size_t width_ = 0;
  std::vector<std::string> labels_;  // the keys of class_numbering_
  std::vector<double> log_prior_;
  std::vector<double> mu_, two_v_, coefficient_;  // [class * width_ + feature]
  std::vector<double> scratch_;                   // one query's exponents, then densities
};

}  // namespace tarnwick
