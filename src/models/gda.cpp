#include "models/gda.hpp"

#include <algorithm>
#include <cmath>
#include <type_traits>
#include <utility>

#include "core/check.hpp"
#include "core/lu.hpp"
#include "core/matrix.hpp"
#include "core/poll_budget.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

constexpr double two_pi = 6.283185307179586;

}  // namespace

GDA::GDA(std::string positive) : positive_class(std::move(positive)) {}

void GDA::fit(const DoubleMatrix& X, const std::vector<std::string>& y) {
  constexpr const char* fn = "GDA.fit";
  const std::size_t cols = check::nonempty_rectangular(fn, "X", X);
  check::labels_cover_rows(fn, X.size(), y.size(), check::Wording::labels_first, "X");
  const int m = check::count32(fn, X.size(), "X");
  const int d = check::count32(fn, cols, "a row of X");

  // Every field is computed into a new model, which then takes this one's place in one step that
  // cannot fail: an error or an interrupt part-way leaves this model as it was.
  GDA next(positive_class);
  next.negative_class = negative_class;
  PollBudget budget;
  if (next.positive_class.empty()) {
    const std::string* smallest = &y[0];
    for (const std::string& label : y) {
      if (label < *smallest) smallest = &label;
      budget.spend(1);
    }
    next.positive_class = *smallest;
  }
  // The largest label other than the positive class, if any (else the negative class stays).
  const std::string* largest = nullptr;
  for (const std::string& label : y) {
    if (label != next.positive_class && (largest == nullptr || *largest < label)) largest = &label;
    budget.spend(1);
  }
  if (largest != nullptr) next.negative_class = *largest;
  next.dimension = d;
  next.phi = next.compute_phi(y, m);
  next.mu_zero = next.compute_mu(X, y, m, false);
  next.mu_one = next.compute_mu(X, y, m, true);
  next.covariance = next.compute_covariance(X, y, m);
  static_assert(std::is_nothrow_move_assignable_v<GDA>);
  *this = std::move(next);
}

double GDA::compute_phi(const std::vector<std::string>& y, int m) const {
  int c = 0;
  PollBudget budget;
  for (int i = 0; i < m; ++i) {
    if (y[i] == positive_class) ++c;
    budget.spend(1);
  }
  return double(c) / double(m);
}

DoubleVector GDA::compute_mu(const DoubleMatrix& X, const std::vector<std::string>& y, int m,
                             bool is_positive) const {
  const std::string& label = is_positive ? positive_class : negative_class;
  const double w = is_positive ? phi : 1.0 - phi;
  const std::size_t cols = X[0].size();
  DoubleVector mu(cols, 0.0);
  PollBudget budget;
  for (int i = 0; i < m; ++i) {
    budget.spend(cols + 1);
    if (y[i] != label) continue;
    for (std::size_t j = 0; j < cols; ++j) mu[j] = X[i][j] + mu[j];
  }
  // The class count comes from the prior, so rows of a third label still count in 1 - phi.
  const double count = w * m;
  for (double& v : mu) v = v / count;
  return mu;
}

DoubleMatrix GDA::compute_covariance(const DoubleMatrix& X, const std::vector<std::string>& y, int m) const {
  const std::size_t d = std::size_t(dimension);
  DoubleMatrix S(d, DoubleVector(d, 0.0));
  DoubleVector e(d);
  // Each term of the outer product e e^T is divided by m before it is added: the same roundings as
  // forming the product matrix first, without a matrix per row.
  PollBudget budget;
  for (int i = 0; i < m; ++i) {
    budget.spend(d * d + 1);
    const DoubleVector& mean = y[i] == positive_class ? mu_one : mu_zero;
    for (std::size_t j = 0; j < d; ++j) e[j] = X[i][j] - mean[j];
    for (std::size_t j = 0; j < d; ++j) {
      for (std::size_t k = 0; k < d; ++k) S[j][k] = (e[j] * e[k]) / m + S[j][k];
    }
  }
  return S;
}

GDA::Density GDA::density_of(const DoubleMatrix& sigma) const {
  const int d = dimension;
  // The stored covariance stays as it is; only the copy is regularised.
  const DoubleMatrix S = regularize(sigma, d, 1e-6);
  const auto [L, U] = LU_decomposition(S, d);
  Density g{matrix_inverse(L, U, d), 0.0};
  const double det = calculate_determinant(U, d);
  g.factor = 1.0 / (std::sqrt(std::fabs(det)) * std::pow(two_pi, d * 0.5));
  return g;
}

double GDA::evaluate(const Density& g, const DoubleVector& mu, const DoubleVector& x) const {
  const DoubleVector e = calculate_vector(x, mu);
  const DoubleVector v = matrix_product_with_matrix_and_vector(g.inverse, e, dimension, dimension);
  const double q = scalar_product_from_transpose_and_vector(e, v);
  return std::exp(q * (-0.5)) * g.factor;
}

std::string GDA::decide(const Density& g, const DoubleVector& x) const {
  // Densities are floored at 1e-300 against log(0); std::max passes a nan density through, and a
  // nan score loses every comparison, so it selects the negative class. Ties go to the positive.
  const double s1 = std::log(phi) + std::log(std::max(evaluate(g, mu_one, x), 1e-300));
  const double s0 = std::log(1.0 - phi) + std::log(std::max(evaluate(g, mu_zero, x), 1e-300));
  return s1 >= s0 ? positive_class : negative_class;
}

void GDA::check_model(const char* fn) const {
  const std::size_t d = std::size_t(dimension);
  std::string what;
  if (dimension < 0) {
    what = "dimension is " + std::to_string(dimension);
  } else if (mu_zero.size() != d) {
    what = "mu_zero has " + std::to_string(mu_zero.size()) + " entries";
  } else if (mu_one.size() != d) {
    what = "mu_one has " + std::to_string(mu_one.size()) + " entries";
  } else {
    bool square = covariance.size() == d;
    for (std::size_t i = 0; square && i < d; ++i) square = covariance[i].size() == d;
    if (!square) what = "covariance is " + check::shape(covariance);
  }
  if (!what.empty()) {
    check::fail(fn, what + " but the model's dimension is " + std::to_string(dimension) +
                        "; the means need that many entries and the covariance that many rows and columns");
  }
}

void GDA::check_query(const char* fn, const DoubleVector& x, std::size_t row) const {
  if (x.size() != std::size_t(dimension)) {
    const std::string which = row == std::size_t(-1) ? "x" : "row " + std::to_string(row) + " of X";
    check::fail(fn, which + " has " + std::to_string(x.size()) + " entries, the model's dimension is " +
                        std::to_string(dimension));
  }
}

std::string GDA::predict_one(const DoubleVector& x) const {
  check_model("GDA.predict_one");
  check_query("GDA.predict_one", x, std::size_t(-1));
  return decide(density_of(covariance), x);
}

std::vector<std::string> GDA::predict(const DoubleMatrix& X) const {
  constexpr const char* fn = "GDA.predict";
  std::vector<std::string> out;
  if (X.empty()) return out;
  check_model(fn);
  for (std::size_t i = 0; i < X.size(); ++i) check_query(fn, X[i], i);
  const Density g = density_of(covariance);
  out.reserve(X.size());
  PollBudget budget;
  for (const DoubleVector& x : X) {
    out.push_back(decide(g, x));
    budget.spend(2 * std::size_t(dimension) * std::size_t(dimension) + 1);
  }
  return out;
}

double GDA::accuracy(const DoubleMatrix& X, const std::vector<std::string>& y) const {
  check::labels_cover_rows("GDA.accuracy", X.size(), y.size(), check::Wording::labels_first, "X");
  return percent_correct(predict(X), y);
}

}  // namespace tarnwick
