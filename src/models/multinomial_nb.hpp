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
  explicit MultinomialNaiveBayes(int vocab_size = 1000);

 private:
  // Vocabulary-word occurrences per class, in the order of class_ratio.
  static std::vector<std::int64_t> calculate_word_count(const ColumnTotals& totals, std::size_t classes);
  std::vector<std::int64_t> phi_denominators(const ColumnTotals& totals, const ClassCounts& ratio) const override;
  void build_tables(const std::vector<double>& p, std::size_t classes) override;
  void add_terms(const std::vector<int>& x, std::vector<double>& scores) const override;

  std::vector<double> log_phi_;         // [column * classes + class]
  std::vector<std::size_t> nonfinite_;  // per class, how many columns have a non-finite ln(phi)
};

}  // namespace tarnwick
