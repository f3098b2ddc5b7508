#include "models/gaussian_nb.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/check.hpp"
#include "core/poll_budget.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

constexpr double kVarianceFloor = 1e-10;
constexpr double kDensityFloor = 1e-300;
constexpr double kTwoPi = 6.283185307179586;

}  // namespace

void GaussianNaiveBayes::fit(const DoubleMatrix& x, const std::vector<std::string>& y) {
  const char* fn = "GaussianNaiveBayes.fit";
  if (x.empty()) check::fail(fn, "x is empty, at least one row is required");
  check::labels_cover_rows(fn, x.size(), y.size(), check::Wording::rows_first);
  const std::size_t features = x[0].size();
  check::count32(fn, features, "the first row");
  check::rows_cover(fn, x, features, "the first row");
  const int n = check::count32(fn, y.size(), "y");
  PollBudget budget;

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
    budget.spend(1);
  }
  const std::size_t classes = label_of.size();
  std::map<std::string, int> ratio;
  for (std::size_t c = 0; c < classes; ++c) ratio.emplace(*label_of[c], count_of[c]);
  // New classes are numbered from 0 in order of appearance; known ones keep their numbers.
  std::map<std::string, int> numbering_added;
  int counter = 0;
  for (const std::string* label : label_of) {
    if (!class_numbering_.contains(*label)) numbering_added.emplace(*label, counter++);
  }

  // Each class and feature has its own two sums, and each receives its terms in row order, divided
  // by the class count before they are added.
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
    budget.spend(features + 1);
  }

  // The statistics go in where the tables hold an entry already, or into new entries made here,
  // so that putting them into the model below cannot fail half-way. A label past the last row has
  // a count but no statistics.
  std::map<LabelIndex, double> mean_added, variance_added;
  std::vector<double*> mean_at, variance_at;
  std::vector<double> mean_value, variance_value;
  mean_at.reserve(classes * features);
  variance_at.reserve(classes * features);
  mean_value.reserve(classes * features);
  variance_value.reserve(classes * features);
  for (std::size_t c = 0; c < classes; ++c) {
    if (!has_rows[c]) continue;
    for (std::size_t j = 0; j < features; ++j) {
      const LabelIndex key{*label_of[c], int(j)};
      const double m = sums[c * features + j];
      // E[x^2] - E[x]^2, which rounding may leave slightly negative; the floor at prediction copes.
      const double v = squares[c * features + j] - m * m;
      const auto mean_it = mean_.find(key);
      mean_at.push_back(mean_it != mean_.end() ? &mean_it->second : &mean_added.emplace(key, 0.0).first->second);
      mean_value.push_back(m);
      const auto variance_it = variance_.find(key);
      variance_at.push_back(variance_it != variance_.end() ? &variance_it->second
                                                           : &variance_added.emplace(key, 0.0).first->second);
      variance_value.push_back(v);
    }
    budget.spend(features);
  }

  // Nothing below can fail: nodes change maps without being copied, and the values go into them.
  n_ = n;
  class_ratio_.swap(ratio);
  class_numbering_.merge(numbering_added);
  mean_.merge(mean_added);
  variance_.merge(variance_added);
  for (std::size_t i = 0; i < mean_at.size(); ++i) {
    *mean_at[i] = mean_value[i];
    *variance_at[i] = variance_value[i];
  }
  tables_.renew();
}

GaussianNaiveBayes::Tables GaussianNaiveBayes::build_tables(std::size_t width) const {
  check::count32("GaussianNaiveBayes.predict", width, "the query");
  const std::size_t classes = class_numbering_.size();
  Tables t;
  t.width = width;
  t.mu.assign(classes * width, 0.0);
  t.two_v.assign(classes * width, 0.0);
  t.coefficient.assign(classes * width, 0.0);
  PollBudget budget;
  std::size_t c = 0;
  for (const auto& entry : class_numbering_) {
    const std::string& label = entry.first;
    t.labels.push_back(label);
    const auto count = class_ratio_.find(label);
    if (count == class_ratio_.end()) t.ratio_missing.push_back(label);
    t.log_prior.push_back(std::log(double(count == class_ratio_.end() ? 0 : count->second) / double(n_)));
    for (std::size_t j = 0; j < width; ++j) {
      const LabelIndex key{label, int(j)};
      const auto mean_it = mean_.find(key);
      const auto variance_it = variance_.find(key);
      if (mean_it == mean_.end()) t.mean_missing.push_back(key);
      if (variance_it == variance_.end()) t.variance_missing.push_back(key);
      const double m = mean_it == mean_.end() ? 0.0 : mean_it->second;
      const double s = variance_it == variance_.end() ? 0.0 : variance_it->second;
      const double v = s < kVarianceFloor ? kVarianceFloor : s;  // a not-a-number variance stays
      t.mu[c * width + j] = m;
      t.two_v[c * width + j] = v + v;
      t.coefficient[c * width + j] = 1 / std::sqrt(v * kTwoPi);
      budget.spend(1);
    }
    ++c;
  }
  return t;
}

std::shared_ptr<const GaussianNaiveBayes::Tables> GaussianNaiveBayes::tables(std::size_t width) const {
  std::shared_ptr<const Tables> kept = tables_.get();
  if (kept && kept->width >= width) return kept;
  auto built = std::make_shared<const Tables>(build_tables(kept ? std::max(width, kept->width) : width));
  tables_.offer(built, [&](const Tables& other) { return other.width >= built->width; });
  return built;
}

std::string GaussianNaiveBayes::classify(const Tables& tb, const DoubleVector& x, std::vector<double>& scratch) const {
  static const double log_floor = std::log(kDensityFloor);
  const std::size_t width = x.size(), classes = tb.labels.size();
  scratch.resize(classes * width);
  double* t = scratch.data();
  // The exponents of every class first, in one loop that vectorises; then one exp call each.
  for (std::size_t c = 0; c < classes; ++c) {
    const double* mu = tb.mu.data() + c * tb.width;
    const double* two_v = tb.two_v.data() + c * tb.width;
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
    const double* coefficient = tb.coefficient.data() + c * tb.width;
    const double* tc = t + c * width;
    double score = tb.log_prior[c];
    for (std::size_t j = 0; j < width; ++j) {
      const double density = tc[j] * coefficient[j];
      score += density < kDensityFloor ? log_floor : std::log(density);
    }
    if (score > best) {
      best = score;
      answer = &tb.labels[c];
    }
  }
  return answer ? *answer : std::string();
}

void GaussianNaiveBayes::gather(const Tables& t, std::size_t width, Missing& missing) const {
  // Every numbered class's count is read, and its mean and variance of each feature the widest
  // query has.
  for (const std::string& label : t.ratio_missing) missing.class_ratio.emplace(label, 0);
  for (const LabelIndex& key : t.mean_missing) {
    if (std::size_t(key.second) < width) missing.mean.emplace(key, 0.0);
  }
  for (const LabelIndex& key : t.variance_missing) {
    if (std::size_t(key.second) < width) missing.variance.emplace(key, 0.0);
  }
}

std::string GaussianNaiveBayes::predict_one(const DoubleVector& x, Missing& missing) const {
  missing = Missing{tables_.revision(), {}, {}, {}};
  if (class_numbering_.empty()) return std::string();
  const std::shared_ptr<const Tables> t = tables(x.size());
  std::vector<double> scratch;
  std::string label = classify(*t, x, scratch);
  gather(*t, x.size(), missing);
  return label;
}

std::vector<std::string> GaussianNaiveBayes::predict(const DoubleMatrix& x_test, Missing& missing) const {
  missing = Missing{tables_.revision(), {}, {}, {}};
  std::vector<std::string> labels;
  if (class_numbering_.empty()) {
    labels.resize(x_test.size());
    return labels;
  }
  if (x_test.empty()) return labels;
  std::size_t width = 0;
  for (const DoubleVector& row : x_test) width = std::max(width, row.size());
  const std::shared_ptr<const Tables> t = tables(width);
  labels.reserve(x_test.size());
  std::vector<double> scratch;
  PollBudget budget;
  for (const DoubleVector& row : x_test) {
    labels.push_back(classify(*t, row, scratch));
    budget.spend(t->labels.size() * (row.size() + 1));
  }
  gather(*t, width, missing);
  return labels;
}

double GaussianNaiveBayes::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test,
                                    Missing& missing) const {
  check::labels_cover_rows("GaussianNaiveBayes.accuracy", x_test.size(), y_test.size(), check::Wording::rows_first,
                           "x_test", "y_test");
  return percent_correct(predict(x_test, missing), y_test);
}

bool GaussianNaiveBayes::add_missing(Missing& missing) noexcept {
  if (missing.empty()) return true;
  if (missing.revision != tables_.revision()) return false;
  // Entries another prediction added meanwhile stay as they are (and their nodes in missing).
  class_ratio_.merge(missing.class_ratio);
  mean_.merge(missing.mean);
  variance_.merge(missing.variance);
  // The kept tables still list these entries as lacking; the next prediction builds them anew.
  tables_.clear();
  return true;
}

std::string GaussianNaiveBayes::predict_one(const DoubleVector& x) {
  return predict_and_add(*this, [&](const GaussianNaiveBayes& m, Missing& missing) { return m.predict_one(x, missing); });
}

std::vector<std::string> GaussianNaiveBayes::predict(const DoubleMatrix& x_test) {
  return predict_and_add(*this, [&](const GaussianNaiveBayes& m, Missing& missing) { return m.predict(x_test, missing); });
}

double GaussianNaiveBayes::accuracy(const DoubleMatrix& x_test, const std::vector<std::string>& y_test) {
  return predict_and_add(*this, [&](const GaussianNaiveBayes& m, Missing& missing) {
    return m.accuracy(x_test, y_test, missing);
  });
}

void GaussianNaiveBayes::on_load(const LoadSite&) noexcept {
  tables_.renew();
}

}  // namespace tarnwick
