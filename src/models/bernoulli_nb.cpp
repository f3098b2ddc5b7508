#include "models/bernoulli_nb.hpp"

#include <cmath>
#include <cstdint>

namespace tarnwick {

BernoulliNaiveBayes::BernoulliNaiveBayes(int vocab_size) : TextNaiveBayes("BernoulliNaiveBayes", vocab_size, false) {}

void BernoulliNaiveBayes::calculate_phi(const ColumnTotals& totals) {
  std::vector<std::int64_t> denominators;
  for (const auto& entry : class_ratio()) denominators.push_back(std::int64_t(entry.second) + 2);
  fill_phi(totals, denominators);
}

void BernoulliNaiveBayes::build_tables(const std::vector<double>& p, std::size_t) {
  absent_.resize(p.size());
  present_.resize(p.size());
  for (std::size_t i = 0; i < p.size(); ++i) {
    const double q = p[i];
    // The scoring expression itself at x = 0 and x = 1, so that the terms, the not-a-numbers of
    // bad probabilities and the -inf of p = 0 or 1 included, are those a prediction would form.
    absent_[i] = std::log(std::pow(1 - q, 1.0 - 0.0) * std::pow(q, 0.0));
    present_[i] = std::log(std::pow(1 - q, 1.0 - 1.0) * std::pow(q, 1.0));
  }
}

void BernoulliNaiveBayes::add_terms(const std::vector<int>& x, std::vector<double>& scores) const {
  const std::size_t classes = scores.size();
  double* s = scores.data();
  // Every column adds a term, present or not; the classes' sums are independent, so one pass over
  // the columns serves all of them, each still adding its terms in column order.
  for (std::size_t j = 0; j < x.size(); ++j) {
    const double* t = (x[j] ? present_ : absent_).data() + j * classes;
    for (std::size_t c = 0; c < classes; ++c) s[c] += t[c];
  }
}

}  // namespace tarnwick
