#include "models/gaussian_nb.hpp"

#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>

#include "core/check.hpp"
#include "core/model_file.hpp"

namespace tarnwick {

namespace {

constexpr double kVarianceFloor = 1e-10;
constexpr double kDensityFloor = 1e-300;
constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void GaussianNaiveBayes::fit(const DoubleMatrix& x, const std::vector<std::string>& y) {
  const char* fn = "GaussianNaiveBayes.fit";
  if (x.empty()) check::fail(fn, "x is empty, at least one row is required");
  if (y.size() < x.size()) {
    check::fail(fn, "x has " + std::to_string(x.size()) + " rows but y has " + std::to_string(y.size()) +
                        " labels; every row needs a label");
  }
  const std::size_t features = x[0].size();
  check::count32(fn, features, "the first row");
  for (std::size_t i = 1; i < x.size(); ++i) {
    if (x[i].size() < features) {
      check::fail(fn, "row " + std::to_string(i) + " has " + std::to_string(x[i].size()) +
                          " components, fewer than the " + std::to_string(features) + " of the first row");
    }
  }
  n_ = check::count32(fn, y.size(), "y");

  // Classes by first appearance: one hash look-up per label gives the counts, the new class
  // numbers and each row's sums, in place of an ordered-map search per label and per use.
  std::unordered_map<std::string_view, std::size_t> id_of;
  std::vector<const std::string*> label_of;
  std::vector<int> count_of;
  std::vector<std::size_t> row_class(x.size());
  for (std::size_t i = 0; i < y.size(); ++i) {
    const auto [it, added] = id_of.try_emplace(y[i], label_of.size());
    if (added) {
      label_of.push_back(&y[i]);
      count_of.push_back(0);
    }
    ++count_of[it->second];
    if (i < x.size()) row_class[i] = it->second;
  }
  class_ratio_.clear();
  for (std::size_t c = 0; c < label_of.size(); ++c) class_ratio_.emplace(*label_of[c], count_of[c]);
  int counter = 0;
  for (const std::string* label : label_of) {
    if (class_numbering_.try_emplace(*label, counter).second) ++counter;
  }
  calculate_moments(x, row_class, label_of, count_of, features);
  prepared_ = false;
}

void GaussianNaiveBayes::calculate_moments(const DoubleMatrix& x, const std::vector<std::size_t>& row_class,
                                           const std::vector<const std::string*>& label_of,
                                           const std::vector<int>& count_of, std::size_t features) {
  // Each class and feature has its own two sums, and each receives its terms in row order, divided
  // by the class count before they are added.
  const std::size_t classes = label_of.size();
  std::vector<double> sums(classes * features, 0.0), squares(classes * features, 0.0);
  std::vector<bool> has_rows(classes, false);
  for (std::size_t i = 0; i < x.size(); ++i) {
    const std::size_t c = row_class[i];
    has_rows[c] = true;
    const double count = double(count_of[c]);
    const double* row = x[i].data();
    double* s = sums.data() + c * features;
    double* q = squares.data() + c * features;
    for (std::size_t j = 0; j < features; ++j) {
      s[j] += row[j] / count;
      q[j] += row[j] * row[j] / count;
    }
  }
  for (std::size_t c = 0; c < classes; ++c) {
    if (!has_rows[c]) continue;  // a label past the last row has a count but no statistics
    for (std::size_t j = 0; j < features; ++j) {
      const LabelIndex key{*label_of[c], int(j)};
      const double m = mean_.insert_or_assign(key, sums[c * features + j]).first->second;
      // E[x^2] - E[x]^2, which rounding may leave slightly negative; the floor at prediction copes.
      variance_.insert_or_assign(key, squares[c * features + j] - m * m);
    }
  }
}

void GaussianNaiveBayes::prepare(std::size_t width) {
  if (prepared_ && width <= width_) return;
  if (prepared_) width = std::max(width, width_);
  check::count32("GaussianNaiveBayes.predict", width, "the query");
  const std::size_t classes = class_numbering_.size();
  labels_.clear();
  log_prior_.clear();
  mu_.assign(classes * width, 0.0);
  two_v_.assign(classes * width, 0.0);
  coefficient_.assign(classes * width, 0.0);
  std::size_t c = 0;
  for (const auto& entry : class_numbering_) {
    const std::string& label = entry.first;
    labels_.push_back(label);
    const int count = class_ratio_.try_emplace(label, 0).first->second;
    log_prior_.push_back(std::log(double(count) / double(n_)));
    for (std::size_t j = 0; j < width; ++j) {
      const LabelIndex key{label, int(j)};
      const double m = mean_.try_emplace(key, 0.0).first->second;
      const double s = variance_.try_emplace(key, 0.0).first->second;
      const double v = s < kVarianceFloor ? kVarianceFloor : s;  // a not-a-number variance stays
      mu_[c * width + j] = m;
      two_v_[c * width + j] = v + v;
      coefficient_[c * width + j] = 1 / std::sqrt(v * kTwoPi);
    }
    ++c;
  }
  width_ = width;
  prepared_ = true;
}

std::string GaussianNaiveBayes::predict_one(const DoubleVector& x) {
  if (class_numbering_.empty()) return std::string();
  prepare(x.size());
  static const double log_floor = std::log(kDensityFloor);
  const std::size_t width = x.size(), classes = labels_.size();
  scratch_.resize(classes * width);
  double* t = scratch_.data();
  // The exponents of every class first, in one loop that vectorises; then one exp call each.
  for (std::size_t c = 0; c < classes; ++c) {
    const double* mu = mu_.data() + c * width_;
    const double* two_v = two_v_.data() + c * width_;
    double* tc = t + c * width;
    for (std::size_t j = 0; j < width; ++j) {
      const double d = x[j] - mu[j];
      tc[j] = (-d * d) / two_v[j];
    }
  }
  for (std::size_t i = 0; i < classes * width; ++i) t[i] = std::exp(t[i]);
  double best = -std::numeric_limits<double>::infinity();
  const std::string* answer = nullptr;
  for (std::size_t c = 0; c < classes; ++c) {
    const double* coefficient = coefficient_.data() + c * width_;
    const double* tc = t + c * width;
    double score = log_prior_[c];
    for (std::size_t j = 0; j < width; ++j) {
      const double density = tc[j] * coefficient[j];
      score += density < kDensityFloor ? log_floor : std::log(density);
    }
    if (score > best) {
      best = score;
      answer = &labels_[c];
    }
  }
  return answer ? *answer : std::string();
}

std::vector<std::string> GaussianNaiveBayes::predict(const DoubleMatrix& x_test) {
  std::vector<std::string> labels;
  labels.reserve(x_test.size());
  for (const auto& row : x_test) labels.push_back(predict_one(row));
  return labels;
}

double GaussianNaiveBayes::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test) {
  if (y_test.size() < x_test.size()) {
    check::fail("GaussianNaiveBayes.accuracy", "x_test has " + std::to_string(x_test.size()) +
                                                   " rows but y_test has " + std::to_string(y_test.size()) +
                                                   " labels; every row needs a label");
  }
  const std::vector<std::string> p = predict(x_test);
  std::size_t correct = 0;
  for (std::size_t i = 0; i < p.size(); ++i) correct += p[i] == y_test[i];
  return double(correct) / double(y_test.size()) * 100;
}

std::string GaussianNaiveBayes::to_text() const {
  modelfile::Writer w("GaussianNaiveBayes.save");
  w.raw("{\"n\":").integer(n_);
  w.raw(",\"class_ratio\":").object(class_ratio_).raw(",\"class_numbering\":").object(class_numbering_);
  w.raw(",\"mean\":").indexed_object(mean_).raw(",\"variance\":").indexed_object(variance_).raw("}");
  return std::move(w).text();
}

void GaussianNaiveBayes::save(const std::filesystem::path& path) const {
  modelfile::Writer("GaussianNaiveBayes.save", to_text()).save(path);
}

void GaussianNaiveBayes::load(const std::filesystem::path& path) {
  read(modelfile::Reader::from_file("GaussianNaiveBayes.load", path));
}

void GaussianNaiveBayes::load_text(const std::string& text) {
  read(modelfile::Reader("GaussianNaiveBayes.load_text", text));
}

void GaussianNaiveBayes::read(const modelfile::Reader& r) {
  std::size_t p = r.after("\"n\":");
  const int n = r.integer(p);
  auto ratio = r.int_map(r.object("class_ratio"));
  auto numbering = r.int_map(r.object("class_numbering"));
  auto mean = r.indexed_dbl_map(r.object("mean"));
  auto variance = r.indexed_dbl_map(r.object("variance"));
  n_ = n;
  class_ratio_ = std::move(ratio);
  class_numbering_ = std::move(numbering);
  mean_ = std::move(mean);
  variance_ = std::move(variance);
  prepared_ = false;
}

}  // namespace tarnwick
