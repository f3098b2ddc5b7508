#include "models/bernoulli_nb.hpp"

#include <cmath>
#include <cstdint>

namespace tarnwick {

BernoulliNaiveBayes::BernoulliNaiveBayes(int vocab_size) : TextNaiveBayes("BernoulliNaiveBayes", vocab_size, false) {}

std::vector<std::int64_t> BernoulliNaiveBayes::phi_denominators(const ColumnTotals&, const ClassCounts& ratio) const {
  std::vector<std::int64_t> denominators;
  for (const auto& entry : ratio) denominators.push_back(std::int64_t(entry.second) + 2);
  return denominators;
}

void BernoulliNaiveBayes::build_terms(const std::vector<double>& p, std::size_t classes, Scoring& s) const {
  std::vector<double>& terms = s.terms;
  terms.resize(2 * p.size());
  PollBudget budget;
  for (std::size_t i = 0; i < p.size(); ++i) {
    budget.spend(4);
    const double q = p[i];
    const std::size_t j = i / classes, c = i % classes;
    // The scoring expression itself at x = 0 and x = 1, so that the terms, the not-a-numbers of
    // bad probabilities and the -inf of p = 0 or 1 included, are those a prediction would form.
    terms[(2 * j) * classes + c] = std::log(std::pow(1 - q, 1.0 - 0.0) * std::pow(q, 0.0));
    terms[(2 * j + 1) * classes + c] = std::log(std::pow(1 - q, 1.0 - 1.0) * std::pow(q, 1.0));
  }
}

namespace {

// The scores of classes c0 .. c0+B-1 held in registers across the whole row: each class's terms
// are added in column order, and the B sums do not wait on one another.
template <std::size_t B>
void add_block(const double* terms, const std::vector<int>& present, std::size_t classes, std::size_t c0,
               double* s) {
  double acc[B];
  for (std::size_t b = 0; b < B; ++b) acc[b] = s[c0 + b];
  for (std::size_t j = 0; j < present.size(); ++j) {
    const double* t = terms + (2 * j + std::size_t(present[j])) * classes + c0;
    for (std::size_t b = 0; b < B; ++b) acc[b] += t[b];
  }
  for (std::size_t b = 0; b < B; ++b) s[c0 + b] = acc[b];
}

}  // namespace

void BernoulliNaiveBayes::add_terms(const Scoring& scoring, TextRow& text) const {
  // Every column adds a term, present or not, so the row is walked whole: the text's presence
  // flags, in a buffer that serves every text of the call and is left all zeros after each.
  std::vector<int>& present = text.present;
  std::vector<double>& scores = text.scores;
  present.resize(std::size_t(vocab_size()));
  for (const std::size_t j : text.columns) present[j] = 1;
  const double* terms = scoring.terms.data();
  const std::size_t classes = scores.size();
  double* s = scores.data();
  std::size_t c = 0;
  for (; classes - c >= 8; c += 8) add_block<8>(terms, present, classes, c, s);
  if (classes - c >= 4) {
    add_block<4>(terms, present, classes, c, s);
    c += 4;
  }
  if (classes - c >= 2) {
    add_block<2>(terms, present, classes, c, s);
    c += 2;
  }
  if (classes - c == 1) add_block<1>(terms, present, classes, c, s);
  for (const std::size_t j : text.columns) present[j] = 0;
}

}  // namespace tarnwick
