// Multinomial naive Bayes over raw texts: a text is the counts x_j of its vocabulary words,
// phi (c, j) = (occurrences of word j in class c + 1) / (vocab_size + words of class c), with the
// configured vocab_size, and a text scores ln(N_c / n) + sum over the columns of x_j * ln(phi).
// Shares its file format ("multinomial_nb.json") with BernoulliNaiveBayes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "models/text_nb.hpp"

namespace tarnwick {

class MultinomialNaiveBayes : public TextNaiveBayes {
 public:
  // The file save and load use when given no path.
  static constexpr const char* default_file = "multinomial_nb.json";

  explicit MultinomialNaiveBayes(int vocab_size = 1000);

 private:
  // Vocabulary-word occurrences per class, in the order of class_ratio.
  static std::vector<std::int64_t> calculate_word_count(const ColumnTotals& totals, std::size_t classes);
  std::vector<std::int64_t> phi_denominators(const ColumnTotals& totals, const ClassCounts& ratio) const override;
  // s.terms: ln(phi), [column * classes + class]; s.nonfinite: per class, how many columns have a
  // non-finite ln(phi).
  void build_terms(const std::vector<double>& p, std::size_t classes, Scoring& s) const override;
  void add_terms(const Scoring& s, TextRow& text) const override;
};

}  // namespace tarnwick
