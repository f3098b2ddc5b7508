// Two-class Gaussian discriminant analysis over rows of features (one row per sample) with string
// labels: the prior of the positive class, one mean per class and one pooled covariance (divided by
// m), and prediction by the larger log prior plus log normal density. The covariance is inverted by
// LU without pivoting after adding 1e-6 to its diagonal; a singular one gives infinities and nans.
// Training rows must be rectangular with a label each, queries exactly `dimension` long (checked).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/object_lock.hpp"
#include "core/model_file.hpp"
#include "core/types.hpp"

namespace tarnwick {

class GDA {
 public:
  // The file save and load use when given no path.
  static constexpr const char* default_file = "gda.json";

  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  std::string positive_class;  // class one; chosen by fit as the smallest label when empty
  std::string negative_class;  // class zero: the largest label other than positive_class
  double phi = 0.0;            // fraction of training rows labelled positive_class
  DoubleVector mu_zero;
  DoubleVector mu_one;
  DoubleMatrix covariance;     // dimension x dimension
  int dimension = 0;

  explicit GDA(std::string positive_class = "");

  void fit(const DoubleMatrix& X, const std::vector<std::string>& y);
  // positive_class when its score is at least the other's; a nan score selects negative_class.
  std::string predict_one(const DoubleVector& x) const;
  std::vector<std::string> predict(const DoubleMatrix& X) const;
  // Percentage of exact matches, divided by the number of labels given.
  double accuracy(const DoubleMatrix& X, const std::vector<std::string>& y) const;

  // Keys in a fixed order; a label holding '"' raises before the file is touched.
  void save(const std::filesystem::path& path) const;
  // Either every field is replaced or, on any error, none.
  void load(const std::filesystem::path& path);
  // The text save writes and load reads, without a file (what pickling carries).
  std::string to_text() const;
  void load_text(const std::string& text);

  // The steps of fit, in the order fit runs them; each relies on the fields set before it.
  double compute_phi(const std::vector<std::string>& y, int m) const;
  DoubleVector compute_mu(const DoubleMatrix& X, const std::vector<std::string>& y, int m, bool is_positive) const;
  DoubleMatrix compute_covariance(const DoubleMatrix& X, const std::vector<std::string>& y, int m) const;
  // Normal density of x (length `dimension`) with mean mu and covariance sigma + 1e-6 I.
  double multivariate_gaussian(const DoubleVector& mu, const DoubleMatrix& sigma, const DoubleVector& x) const;

  static DoubleVector _parse_vec(const modelfile::Reader& text, std::size_t& pos);
  static DoubleMatrix _parse_mat(const modelfile::Reader& text, std::size_t& pos);

 private:
  void read(const modelfile::Reader& r);
  // The inverse and normalising factor of the regularised covariance, formed once per call and
  // shared by both classes and every query: the same values the density would form each time.
  struct Density {
    DoubleMatrix inverse;
    double factor;  // 1 / (sqrt|det| * (2 pi)^(d/2))
  };
  Density density_of(const DoubleMatrix& sigma) const;
  double evaluate(const Density& g, const DoubleVector& mu, const DoubleVector& x) const;
  std::string decide(const Density& g, const DoubleVector& x) const;
  void check_model(const char* fn) const;
  void check_query(const char* fn, const DoubleVector& x, std::size_t row) const;
};

}  // namespace tarnwick
