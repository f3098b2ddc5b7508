#include "models/multinomial_nb.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {

MultinomialNaiveBayes::MultinomialNaiveBayes(int vocab_size)
    : TextNaiveBayes("MultinomialNaiveBayes", vocab_size, true) {}

std::vector<std::int64_t> MultinomialNaiveBayes::calculate_word_count(const ColumnTotals& totals,
                                                                      std::size_t classes) {
  std::vector<std::int64_t> words(classes, 0);
  for (std::size_t c = 0; c < classes; ++c) {
    for (std::size_t j = 0; j < totals.width; ++j) words[c] += totals.at(c, j);
  }
  return words;
}

std::vector<std::int64_t> MultinomialNaiveBayes::phi_denominators(const ColumnTotals& totals,
                                                                  const ClassCounts& ratio) const {
  // The configured vocab_size, not the words the vocabulary holds: empty columns smooth too.
  std::vector<std::int64_t> denominators = calculate_word_count(totals, ratio.size());
  for (std::int64_t& d : denominators) d += vocab_size();
  return denominators;
}

void MultinomialNaiveBayes::build_terms(const std::vector<double>& p, std::size_t classes, Scoring& s) const {
  std::vector<double>& log_phi = s.terms;
  std::vector<std::size_t>& nonfinite = s.nonfinite;
  log_phi.resize(p.size());
  nonfinite.assign(classes, 0);
  PollBudget budget;
  for (std::size_t i = 0; i < p.size(); ++i) {
    budget.spend(2);
    log_phi[i] = std::log(p[i]);
    if (!std::isfinite(log_phi[i])) ++nonfinite[i % classes];
  }
}

void MultinomialNaiveBayes::add_terms(const Scoring& scoring, TextRow& text) const {
  std::vector<std::size_t>& columns = text.columns;
  std::vector<double>& scores = text.scores;
  const std::vector<double>& log_phi = scoring.terms;
  const std::vector<std::size_t>& nonfinite = scoring.nonfinite;
  const std::size_t classes = scores.size();
  double* s = scores.data();
  // A column the text does not use adds 0 * ln(phi): a signed zero while ln(phi) is finite, which
  // leaves the score as it is (no score is -0: the prior ln(N_c / n) is not, no term is, and no
  // sum of such values is), and not-a-number otherwise. So the used columns are added in order and
  // the unused ones only checked for a non-finite ln(phi).
  bool any_nonfinite = false;
  for (std::size_t c = 0; c < classes; ++c) any_nonfinite |= nonfinite[c] != 0;
  std::vector<std::size_t> used_nonfinite(any_nonfinite ? classes : 0, 0);
  // Sorted, a column's repeats stand together: their number is the column's count.
  std::sort(columns.begin(), columns.end());
  for (auto run = columns.begin(); run != columns.end();) {
    const auto end = std::find_if(run, columns.end(), [&](std::size_t j) { return j != *run; });
    const double count = double(end - run);
    const double* l = log_phi.data() + *run * classes;
    run = end;
    for (std::size_t c = 0; c < classes; ++c) s[c] += count * l[c];
    if (any_nonfinite) {
      for (std::size_t c = 0; c < classes; ++c) used_nonfinite[c] += !std::isfinite(l[c]);
    }
  }
  for (std::size_t c = 0; c < used_nonfinite.size(); ++c) {
    if (used_nonfinite[c] < nonfinite[c]) s[c] = std::numeric_limits<double>::quiet_NaN();
  }
}

}  // namespace tarnwick
