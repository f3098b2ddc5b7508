// Two-class Gaussian discriminant analysis over rows of features (one row per sample) with string
// labels: the prior of the positive class, one mean per class and one pooled covariance (divided by
// m), and prediction by the larger log prior plus log normal density. The covariance is inverted by
// LU without pivoting after adding 1e-6 to its diagonal; a singular one gives infinities and nans.
// Training rows must be rectangular with a label each, queries exactly `dimension` long (checked).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "core/types.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

// File: the fields below in the order fields() lists them; a load replaces every field or none.
class GDA : public PersistedModel<GDA> {
 public:
  static constexpr const char* default_file = "gda.json";

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

  // The steps of fit, in the order fit runs them; each relies on the fields set before it.
  double compute_phi(const std::vector<std::string>& y, int m) const;
  DoubleVector compute_mu(const DoubleMatrix& X, const std::vector<std::string>& y, int m, bool is_positive) const;
  DoubleMatrix compute_covariance(const DoubleMatrix& X, const std::vector<std::string>& y, int m) const;

 private:
  // The inverse and normalising factor of the regularised covariance, formed once per call and
  // shared by both classes and every query: the same values the density would form each time.
  struct Density {
    DoubleMatrix inverse;
    double factor;  // 1 / (sqrt|det| * (2 pi)^(d/2))
  };
  Density density_of(const DoubleMatrix& sigma) const;
  // The normal density of x (length `dimension`) with mean mu and the covariance g was formed from.
  double evaluate(const Density& g, const DoubleVector& mu, const DoubleVector& x) const;
  std::string decide(const Density& g, const DoubleVector& x) const;
  void check_model(const char* fn) const;
  void check_query(const char* fn, const DoubleVector& x, std::size_t row) const;

  friend class PersistedModel<GDA>;
  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  static constexpr const char* model_name() { return "GDA"; }
  static constexpr auto fields() {
    return std::tuple{modelfile::field("positive_class", &GDA::positive_class),
                      modelfile::field("negative_class", &GDA::negative_class),
                      modelfile::field("dimension", &GDA::dimension), modelfile::field("phi", &GDA::phi),
                      modelfile::field("mu_zero", &GDA::mu_zero), modelfile::field("mu_one", &GDA::mu_one),
                      modelfile::field("covariance", &GDA::covariance)};
  }
};

}  // namespace tarnwick
