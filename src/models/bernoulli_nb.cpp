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
template <std::size_t B, typename Used>
void add_block(const double* terms, std::size_t width, const std::vector<Used>& used,
               std::size_t classes, std::size_t c0, double* s) {
  double acc[B];
  for (std::size_t b = 0; b < B; ++b) acc[b] = s[c0 + b];
  const auto add = [&](std::size_t j, bool present) {
    const double* t = terms + (2 * j + std::size_t(present)) * classes + c0;
    for (std::size_t b = 0; b < B; ++b) acc[b] += t[b];
  };
  // The absent columns between two present ones go by without a test.
  std::size_t j = 0;
  for (const Used& u : used) {
    for (; j < u.column; ++j) add(j, false);
    add(j++, true);
  }
  for (; j < width; ++j) add(j, false);
  for (std::size_t b = 0; b < B; ++b) s[c0 + b] = acc[b];
}

}  // namespace

void BernoulliNaiveBayes::add_terms(const Scoring& scoring, const std::vector<Used>& used,
                                    std::vector<double>& scores) const {
  const double* terms = scoring.terms.data();
  // Every column adds a term, present or not.
  const std::size_t classes = scores.size(), width = std::size_t(vocab_size());
  double* s = scores.data();
  std::size_t c = 0;
  for (; classes - c >= 8; c += 8) add_block<8>(terms, width, used, classes, c, s);
  if (classes - c >= 4) {
    add_block<4>(terms, width, used, classes, c, s);
    c += 4;
  }
  if (classes - c >= 2) {
    add_block<2>(terms, width, used, classes, c, s);
    c += 2;
  }
  if (classes - c == 1) add_block<1>(terms, width, used, classes, c, s);
}

}  // namespace tarnwick
