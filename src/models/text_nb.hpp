// The common part of the two text classifiers (Bernoulli over word presence, multinomial over word
// counts): raw texts and string labels in; a vocabulary of at most vocab_size words, per class a
// count, per class and column (0 .. vocab_size-1) a smoothed probability phi; one file format.
// A text is scored over the columns in ascending order; ties go to the smaller label.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/poll_budget.hpp"
#include "core/text.hpp"
#include "models/derived_cache.hpp"
#include "models/persisted_model.hpp"

namespace tarnwick {

namespace modelfile {

// A vocabulary is written as an object in column order rather than the hash table's, so that one
// model always writes the same file; it is read as an object of word columns.
template <>
struct Codec<Vocabulary> {
  static void write(Writer& w, const Vocabulary& vocab);
  static Vocabulary read(const Reader& r, std::string_view key);
};

}  // namespace modelfile

// File: {"vocab_size":V,"n":N,"vocab":{...},"class_ratio":{...},"phi":{"label|j":p,...}}, the
// vocabulary in column order. A load replaces every field or none, and every vocabulary column must
// lie below the file's vocab_size.
class TextNaiveBayes : public PersistedModel<TextNaiveBayes> {
 public:

  using LabelIndex = std::pair<std::string, int>;  // (label, column)

  // The phi entries a prediction read as 0 because the model lacks them, allocated and ready to
  // go in.
  struct Missing {
    std::uint64_t revision = 0;  // the model's revision when they were gathered
    std::map<LabelIndex, double> phi;
    bool empty() const { return phi.empty(); }
  };

  virtual ~TextNaiveBayes() = default;

  // Labels at least as many as the texts (labels beyond the texts count in n and class_ratio
  // only); vocab_size at least 0. Replaces n, the vocabulary and the class counts, and overwrites
  // the phi entries of the classes it sees: entries of other classes stay, unused. All or nothing.
  void fit(const std::vector<std::string>& texts, const std::vector<std::string>& labels);

  // The class of highest score, the smaller label among equal scores, "" when there is no class or
  // no score above -inf (a not-a-number score never wins). These only read the model (any number
  // may run at once): a phi entry that scoring reads but the model lacks counts as 0 and is
  // gathered in missing, which they overwrite.
  std::string predict_one(const std::string& text, Missing& missing) const;
  std::vector<std::string> predict(const std::vector<std::string>& texts, Missing& missing) const;
  // Percentage of texts predicted right, over the number of labels given (at least one per text).
  double accuracy(const std::vector<std::string>& texts, const std::vector<std::string>& labels,
                  Missing& missing) const;
  // Adds the gathered entries as 0, so that a later save writes them, unless the model was fitted
  // or loaded since they were gathered (false, and nothing added). Cannot fail.
  bool add_missing(Missing& missing) noexcept;

  // A prediction and then its add_missing, as one call that changes the model.
  std::string predict_one(const std::string& text);
  std::vector<std::string> predict(const std::vector<std::string>& texts);
  double accuracy(const std::vector<std::string>& texts, const std::vector<std::string>& labels);

  int vocab_size() const { return vocab_size_; }
  int n() const { return n_; }
  const Vocabulary& vocab() const { return vocab_; }
  const ClassCounts& class_ratio() const { return class_ratio_; }
  const std::map<LabelIndex, double>& phi() const { return phi_; }

 protected:
  // name prefixes messages ("BernoulliNaiveBayes"); counts selects count rows over presence rows.
  TextNaiveBayes(std::string name, int vocab_size, bool counts);

  // What the training rows of each class add up to in each column, without the rows themselves:
  // classes in the order of class_ratio, columns 0 .. width-1 (the vocabulary's words; columns from
  // width up to vocab_size hold no word and count 0).
  struct ColumnTotals {
    std::size_t width = 0;
    std::vector<std::int64_t> counts;  // [class * width + column]
    std::int64_t at(std::size_t c, std::size_t j) const { return j < width ? counts[c * width + j] : 0; }
  };

  // What scoring reads, derived from the class counts and the phi values: classes in label order.
  struct Scoring {
    std::vector<std::string> labels;  // the keys of class_ratio
    std::vector<double> log_prior;
    std::vector<double> terms;           // each model's per-column terms (see build_terms)
    std::vector<std::size_t> nonfinite;  // per class, what the model needs besides (or nothing)
    std::vector<LabelIndex> missing;     // the phi entries the model lacks, counted as 0
  };

  // Per class, in the order of ratio, the denominator of its phi values.
  virtual std::vector<std::int64_t> phi_denominators(const ColumnTotals& totals, const ClassCounts& ratio) const = 0;

  // Fills s.terms (and s.nonfinite) from p, the phi value of every column and class ([column *
  // classes + class], 0 where the model lacks the entry).
  virtual void build_terms(const std::vector<double>& p, std::size_t classes, Scoring& s) const = 0;
  // A text being scored: the column of each of its vocabulary words, in text order with repeats
  // kept (the model may reorder them), and the class scores, which come in holding the log
  // priors. The buffers are reused from one text to the next.
  struct TextRow {
    std::vector<std::size_t> columns;
    std::vector<int> present;  // for a model that walks presence flags: all 0 between texts
    std::vector<double> scores;
  };
  // Adds, in column order, the term of every column of the text's row to each class's score.
  virtual void add_terms(const Scoring& s, TextRow& text) const = 0;

  const std::string name_;

 private:
  friend class PersistedModel<TextNaiveBayes>;
  // Refuses a vocabulary column outside the rows, which every prediction would write outside them;
  // drops the kept scoring and counts the load as a new revision.
  void on_load(const LoadSite& site);
  void check_vocab_size(const char* method) const;
  ColumnTotals column_totals(const std::vector<Tokens>& documents, const std::vector<std::string>& labels,
                             const Vocabulary& vocab, const ClassCounts& ratio, PollBudget& budget) const;
  // phi (c, j) = (count + 1) / denominators[c] for every class and every column below vocab_size,
  // both integers converted to double before the division; [column * classes + class].
  std::vector<double> calculate_phi(const ColumnTotals& totals, const std::vector<std::int64_t>& denominators,
                                    std::size_t classes, PollBudget& budget) const;
  // The scoring of p for the classes of ratio over n texts.
  std::shared_ptr<Scoring> score_with(const std::vector<double>& p, const ClassCounts& ratio, int n) const;
  // The kept scoring, or one built from the model's fields.
  std::shared_ptr<const Scoring> scoring() const;
  std::string classify(const Scoring& s, const std::string& text, TextRow& row) const;

  int vocab_size_;
  int n_ = 0;
  Vocabulary vocab_;
  ClassCounts class_ratio_;
  std::map<LabelIndex, double> phi_;
  const bool counts_;

  DerivedCache<Scoring> scoring_;

  // For PersistedModel: the name that prefixes messages, and the persisted fields in file order.
  const std::string& model_name() const { return name_; }
  static constexpr auto fields() {
    using M = TextNaiveBayes;
    return std::tuple{modelfile::field("vocab_size", &M::vocab_size_), modelfile::field("n", &M::n_),
                      modelfile::field("vocab", &M::vocab_), modelfile::field("class_ratio", &M::class_ratio_),
                      modelfile::field("phi", &M::phi_)};
  }
};

}  // namespace tarnwick
