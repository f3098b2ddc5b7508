#include "models/text_nb.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "core/check.hpp"
#include "models/classifier.hpp"

namespace tarnwick {

namespace {

// A vocabulary column that no row of vocab_size columns holds, and what a refusal says of it.
bool outside_rows(int column, int vocab_size) { return column < 0 || column >= vocab_size; }

std::string outside_rows_text(const std::string& word, int column, int vocab_size) {
  return "the word \"" + word + "\" has column " + std::to_string(column) + ", outside the " +
         std::to_string(vocab_size) + " columns of vocab_size";
}

}  // namespace

TextNaiveBayes::TextNaiveBayes(std::string name, int vocab_size, bool counts)
    : name_(std::move(name)), vocab_size_(vocab_size), counts_(counts) {}

void TextNaiveBayes::check_vocab_size(const char* method) const {
  if (vocab_size_ < 0) {
    throw std::length_error(name_ + "." + method + ": vocab_size is " + std::to_string(vocab_size_) +
                            "; a vector cannot have a negative size");
  }
}

void TextNaiveBayes::fit(const std::vector<std::string>& texts, const std::vector<std::string>& labels) {
  const std::string fn = name_ + ".fit";
  check_vocab_size("fit");
  check::labels_cover_rows(fn, texts.size(), labels.size(), check::Wording::texts);
  const int n = check::count32(fn, labels.size(), "labels");
  PollBudget budget;

  std::vector<Tokens> documents;
  documents.reserve(texts.size());
  for (const std::string& text : texts) {
    documents.push_back(tokenize(text));
    budget.spend(text.size() + 1);
  }
  Vocabulary vocab = build_vocab(documents, vocab_size_);
  ClassCounts ratio = calculate_class_ratio(labels);
  const ColumnTotals totals = column_totals(documents, labels, vocab, ratio, budget);
  // Every class gets every column, so the scoring tables come straight from these values; a
  // vocab_size too large for memory fails here (MemoryError), before the model changes.
  const std::size_t classes = ratio.size();
  const std::vector<double> p = calculate_phi(totals, phi_denominators(totals, ratio), classes, budget);
  std::shared_ptr<const Scoring> scoring = score_with(p, ratio, n);

  // Each phi value goes into the entry the model holds already, or into a new entry made here, so
  // that putting them into the model below cannot fail half-way. Labels ascend, and columns within
  // a label, so each entry is found (or made) next to the last one.
  std::map<LabelIndex, double> added;
  std::vector<double*> slot(p.size());
  std::size_t c = 0;
  for (const auto& entry : ratio) {
    const std::string& label = entry.first;
    auto at = phi_.lower_bound(LabelIndex{label, 0});
    for (int j = 0; j < vocab_size_; ++j) {
      double* value;
      if (at != phi_.end() && at->first.second == j && at->first.first == label) {
        value = &at->second;
        ++at;
      } else {
        value = &added.emplace_hint(added.end(), LabelIndex{label, j}, 0.0)->second;
      }
      slot[std::size_t(j) * classes + c] = value;
    }
    budget.spend(std::size_t(vocab_size_) + 1);
    ++c;
  }

  // Nothing below can fail: nodes change maps without being copied, and the values go into them.
  n_ = n;
  vocab_.swap(vocab);
  class_ratio_.swap(ratio);
  if (phi_.empty()) {
    phi_.swap(added);
  } else {
    phi_.merge(added);
  }
  for (std::size_t i = 0; i < p.size(); ++i) *slot[i] = p[i];
  scoring_.renew(std::move(scoring));
}

TextNaiveBayes::ColumnTotals TextNaiveBayes::column_totals(const std::vector<Tokens>& documents,
                                                           const std::vector<std::string>& labels,
                                                           const Vocabulary& vocab, const ClassCounts& ratio,
                                                           PollBudget& budget) const {
  ColumnTotals totals;
  totals.width = vocab.size();
  totals.counts.assign(ratio.size() * totals.width, 0);
  if (totals.width == 0) return totals;
  std::unordered_map<std::string_view, std::size_t> class_of;
  for (const auto& entry : ratio) class_of.emplace(entry.first, class_of.size());
  // seen[j] is the last document that counted column j: presence counts each word once per text.
  std::vector<std::size_t> seen(totals.width, std::numeric_limits<std::size_t>::max());
  for (std::size_t i = 0; i < documents.size(); ++i) {
    std::int64_t* row = totals.counts.data() + class_of.at(labels[i]) * totals.width;
    for (const std::string& token : documents[i]) {
      const auto it = vocab.find(token);
      if (it == vocab.end()) continue;
      const std::size_t j = std::size_t(it->second);
      if (counts_) {
        ++row[j];
      } else if (seen[j] != i) {
        seen[j] = i;
        ++row[j];
      }
    }
    budget.spend(documents[i].size() + 1);
  }
  return totals;
}

std::vector<double> TextNaiveBayes::calculate_phi(const ColumnTotals& totals,
                                                  const std::vector<std::int64_t>& denominators,
                                                  std::size_t classes, PollBudget& budget) const {
  const std::size_t width = std::size_t(vocab_size_);
  std::vector<double> p(width * classes);
  for (std::size_t c = 0; c < classes; ++c) {
    const double denominator = double(denominators[c]);
    for (std::size_t j = 0; j < width; ++j) p[j * classes + c] = double(totals.at(c, j) + 1) / denominator;
    budget.spend(width + 1);
  }
  return p;
}

std::shared_ptr<TextNaiveBayes::Scoring> TextNaiveBayes::score_with(const std::vector<double>& p,
                                                                    const ClassCounts& ratio, int n) const {
  auto s = std::make_shared<Scoring>();
  for (const auto& [label, count] : ratio) {
    s->labels.push_back(label);
    s->log_prior.push_back(std::log(double(count) / double(n)));
  }
  build_terms(p, ratio.size(), *s);
  return s;
}

std::shared_ptr<const TextNaiveBayes::Scoring> TextNaiveBayes::scoring() const {
  if (std::shared_ptr<const Scoring> kept = scoring_.get()) return kept;
  // After a load: the phi value of every class and column, 0 where the file had none.
  const std::size_t classes = class_ratio_.size();
  const std::size_t width = std::size_t(vocab_size_);
  std::vector<double> p(width * classes, 0.0);
  std::vector<LabelIndex> missing;
  PollBudget budget;
  std::size_t c = 0;
  for (const auto& entry : class_ratio_) {
    const std::string& label = entry.first;
    auto at = phi_.lower_bound(LabelIndex{label, 0});
    for (std::size_t j = 0; j < width; ++j) {
      if (at != phi_.end() && at->first.second == int(j) && at->first.first == label) {
        p[j * classes + c] = at->second;
        ++at;
      } else {
        missing.emplace_back(label, int(j));
      }
    }
    budget.spend(width + 1);
    ++c;
  }
  std::shared_ptr<Scoring> s = score_with(p, class_ratio_, n_);
  s->missing = std::move(missing);
  scoring_.offer(s, [](const Scoring&) { return true; });
  return s;
}

std::string TextNaiveBayes::classify(const Scoring& s, const std::string& text, TextRow& row) const {
  // The text's row without its zeros: the column of each of its vocabulary words.
  std::vector<std::size_t>& columns = row.columns;
  columns.clear();
  for (const std::string& token : tokenize(text)) {
    const auto it = vocab_.find(token);
    if (it == vocab_.end()) continue;
    // Loads and fits keep every column below vocab_size; the tables are never read past it.
    if (outside_rows(it->second, vocab_size_)) {
      check::fail(name_ + ".predict", outside_rows_text(it->first, it->second, vocab_size_));
    }
    columns.push_back(std::size_t(it->second));
  }
  std::vector<double>& scores = row.scores;
  scores = s.log_prior;
  add_terms(s, row);
  double best = -std::numeric_limits<double>::infinity();
  const std::string* answer = nullptr;
  for (std::size_t c = 0; c < scores.size(); ++c) {
    if (scores[c] > best) {
      best = scores[c];
      answer = &s.labels[c];
    }
  }
  return answer ? *answer : std::string();
}

std::string TextNaiveBayes::predict_one(const std::string& text, Missing& missing) const {
  missing = Missing{scoring_.revision(), {}};
  check_vocab_size("predict_one");
  if (class_ratio_.empty()) return std::string();
  const std::shared_ptr<const Scoring> s = scoring();
  TextRow row;
  std::string label = classify(*s, text, row);
  for (const LabelIndex& key : s->missing) missing.phi.emplace_hint(missing.phi.end(), key, 0.0);
  return label;
}

std::vector<std::string> TextNaiveBayes::predict(const std::vector<std::string>& texts, Missing& missing) const {
  missing = Missing{scoring_.revision(), {}};
  std::vector<std::string> labels;
  if (texts.empty()) return labels;
  check_vocab_size("predict_one");
  if (class_ratio_.empty()) {
    labels.resize(texts.size());
    return labels;
  }
  const std::shared_ptr<const Scoring> s = scoring();
  labels.reserve(texts.size());
  TextRow row;
  PollBudget budget;
  for (const std::string& text : texts) {
    labels.push_back(classify(*s, text, row));
    budget.spend(text.size() + std::size_t(vocab_size_) * s->labels.size());
  }
  for (const LabelIndex& key : s->missing) missing.phi.emplace_hint(missing.phi.end(), key, 0.0);
  return labels;
}

double TextNaiveBayes::accuracy(const std::vector<std::string>& texts, const std::vector<std::string>& labels,
                                Missing& missing) const {
  check::labels_cover_rows(name_ + ".accuracy", texts.size(), labels.size(), check::Wording::texts);
  return percent_correct(predict(texts, missing), labels);
}

bool TextNaiveBayes::add_missing(Missing& missing) noexcept {
  if (missing.empty()) return true;
  if (missing.revision != scoring_.revision()) return false;
  // Entries another prediction added meanwhile stay as they are (and their nodes in missing).
  phi_.merge(missing.phi);
  // The kept scoring still lists these entries as lacking; the next prediction builds it anew.
  scoring_.clear();
  return true;
}

std::string TextNaiveBayes::predict_one(const std::string& text) {
  return predict_and_add(*this, [&](const TextNaiveBayes& m, Missing& missing) { return m.predict_one(text, missing); });
}

std::vector<std::string> TextNaiveBayes::predict(const std::vector<std::string>& texts) {
  return predict_and_add(*this, [&](const TextNaiveBayes& m, Missing& missing) { return m.predict(texts, missing); });
}

double TextNaiveBayes::accuracy(const std::vector<std::string>& texts, const std::vector<std::string>& labels) {
  return predict_and_add(*this, [&](const TextNaiveBayes& m, Missing& missing) {
    return m.accuracy(texts, labels, missing);
  });
}

void TextNaiveBayes::on_load(const LoadSite& site) {
  // The first offending word in byte-wise order, as a file lists its words.
  const std::pair<const std::string, int>* bad = nullptr;
  for (const auto& entry : vocab_) {
    if (outside_rows(entry.second, vocab_size_) && (!bad || entry.first < bad->first)) bad = &entry;
  }
  if (bad) {
    check::fail(site.call(), std::string("in ").append(site.source()) + " " +
                                 outside_rows_text(bad->first, bad->second, vocab_size_));
  }
  scoring_.renew();
}

namespace modelfile {

void Codec<Vocabulary>::write(Writer& w, const Vocabulary& vocab) {
  std::vector<std::pair<std::string_view, int>> words(vocab.begin(), vocab.end());
  std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  });
  w.object(words);
}

Vocabulary Codec<Vocabulary>::read(const Reader& r, std::string_view key) {
  const auto words = r.int_map(r.object(key));
  return Vocabulary(words.begin(), words.end());
}

}  // namespace modelfile

}  // namespace tarnwick
