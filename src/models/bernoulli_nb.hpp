// Bernoulli naive Bayes over raw texts: a text is the set of vocabulary words it holds, phi (c, j)
// = (texts of class c holding word j + 1) / (texts of c + 2), and a text scores
// ln(N_c / n) + sum over every column j of ln(pow(1 - p, 1 - x_j) * pow(p, x_j)), absent words
// included. Shares its file format ("bernoulli_nb.json") with MultinomialNaiveBayes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "models/text_nb.hpp"

namespace tarnwick {

class BernoulliNaiveBayes : public TextNaiveBayes {
 public:
  // The file save and load use when given no path.
  static constexpr const char* default_file = "bernoulli_nb.json";

  explicit BernoulliNaiveBayes(int vocab_size = 1000);

 private:
  std::vector<std::int64_t> phi_denominators(const ColumnTotals& totals, const ClassCounts& ratio) const override;
  // s.terms: the column terms for an absent and a present word, [(2 * column + present) * classes
  // + class].
  void build_terms(const std::vector<double>& p, std::size_t classes, Scoring& s) const override;
  void add_terms(const Scoring& s, TextRow& text) const override;
};

}  // namespace tarnwick
