#include "models/text_nb.hpp"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string_view>
#include <unordered_map>

#include "core/check.hpp"
#include "core/model_file.hpp"

namespace tarnwick {

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
  if (labels.size() < texts.size()) {
    check::fail(fn, std::to_string(texts.size()) + " texts but " + std::to_string(labels.size()) +
                        " labels; every text needs a label");
  }
  const int n = check::count32(fn, labels.size(), "labels");

  std::vector<Tokens> documents;
  documents.reserve(texts.size());
  for (const std::string& text : texts) documents.push_back(tokenize(text));
  Vocabulary vocab = build_vocab(documents, vocab_size_);
  ClassCounts ratio = calculate_class_ratio(labels);
  const ColumnTotals totals = column_totals(documents, labels, vocab, ratio);
  // Every class gets every column, so the scoring tables come straight from these values; a
  // vocab_size too large for memory fails here (MemoryError), before the model changes.
  const std::vector<double> p = calculate_phi(totals, phi_denominators(totals, ratio), ratio.size());
  prepared_ = false;
  build_tables(p, ratio.size());

  n_ = n;
  vocab_ = std::move(vocab);
  class_ratio_ = std::move(ratio);
  store_phi(p);
  set_priors();
  prepared_ = true;
}

TextNaiveBayes::ColumnTotals TextNaiveBayes::column_totals(const std::vector<Tokens>& documents,
                                                           const std::vector<std::string>& labels,
                                                           const Vocabulary& vocab, const ClassCounts& ratio) const {
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
  }
  return totals;
}

std::vector<double> TextNaiveBayes::calculate_phi(const ColumnTotals& totals,
                                                  const std::vector<std::int64_t>& denominators,
                                                  std::size_t classes) const {
  const std::size_t width = std::size_t(vocab_size_);
  std::vector<double> p(width * classes);
  for (std::size_t c = 0; c < classes; ++c) {
    const double denominator = double(denominators[c]);
    for (std::size_t j = 0; j < width; ++j) p[j * classes + c] = double(totals.at(c, j) + 1) / denominator;
  }
  return p;
}

void TextNaiveBayes::store_phi(const std::vector<double>& p) {
  const std::size_t classes = class_ratio_.size();
  std::size_t c = 0;
  for (const auto& entry : class_ratio_) {
    const std::string& label = entry.first;
    // Columns ascend within a label, so each entry goes in (or is overwritten) next to the last one.
    auto at = phi_.lower_bound(LabelIndex{label, 0});
    for (int j = 0; j < vocab_size_; ++j) {
      const double value = p[std::size_t(j) * classes + c];
      if (at != phi_.end() && at->first.second == j && at->first.first == label) {
        at->second = value;
        ++at;
      } else {
        at = std::next(phi_.emplace_hint(at, LabelIndex{label, j}, value));
      }
    }
    ++c;
  }
}

void TextNaiveBayes::set_priors() {
  labels_.clear();
  log_prior_.clear();
  for (const auto& [label, count] : class_ratio_) {
    labels_.push_back(&label);
    log_prior_.push_back(std::log(double(count) / double(n_)));
  }
}

void TextNaiveBayes::prepare() {
  if (prepared_) return;
  const std::size_t classes = class_ratio_.size();
  const std::size_t width = std::size_t(vocab_size_);
  std::vector<double> p(width * classes, 0.0);
  std::vector<LabelIndex> missing;
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
    ++c;
  }
  build_tables(p, classes);
  for (LabelIndex& key : missing) phi_.emplace(std::move(key), 0.0);
  set_priors();
  prepared_ = true;
}

std::string TextNaiveBayes::predict_one(const std::string& text) {
  check_vocab_size("predict_one");
  if (class_ratio_.empty()) return std::string();
  prepare();
  // One text, so one row; vectorize takes its rows' words from the documents.
  std::vector<Tokens> documents;
  documents.push_back(tokenize(text));
  const FeatureMatrix x = vectorize(std::vector<std::string>(1), vocab_size_, documents, vocab_, counts_);
  std::vector<double> scores = log_prior_;
  add_terms(x[0], scores);
  double best = -std::numeric_limits<double>::infinity();
  const std::string* answer = nullptr;
  for (std::size_t c = 0; c < scores.size(); ++c) {
    if (scores[c] > best) {
      best = scores[c];
      answer = labels_[c];
    }
  }
  return answer ? *answer : std::string();
}

std::vector<std::string> TextNaiveBayes::predict(const std::vector<std::string>& texts) {
  std::vector<std::string> labels;
  labels.reserve(texts.size());
  for (const std::string& text : texts) labels.push_back(predict_one(text));
  return labels;
}

double TextNaiveBayes::accuracy(const std::vector<std::string>& texts, const std::vector<std::string>& labels) {
  if (labels.size() < texts.size()) {
    check::fail(name_ + ".accuracy", std::to_string(texts.size()) + " texts but " + std::to_string(labels.size()) +
                                         " labels; every text needs a label");
  }
  const std::vector<std::string> predicted = predict(texts);
  std::size_t correct = 0;
  for (std::size_t i = 0; i < predicted.size(); ++i) correct += predicted[i] == labels[i];
  return double(correct) / double(labels.size()) * 100;
}

std::string TextNaiveBayes::to_text() const {
  // Column order rather than the hash table's, so that one model always writes the same file.
  std::vector<std::pair<std::string_view, int>> words(vocab_.begin(), vocab_.end());
  std::sort(words.begin(), words.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second < b.second : a.first < b.first;
  });
  modelfile::Writer w(name_ + ".save");
  w.raw("{\"vocab_size\":").integer(vocab_size_).raw(",\"n\":").integer(n_);
  w.raw(",\"vocab\":").object(words).raw(",\"class_ratio\":").object(class_ratio_);
  w.raw(",\"phi\":").indexed_object(phi_).raw("}");
  return std::move(w).text();
}

void TextNaiveBayes::save(const std::filesystem::path& path) const {
  modelfile::Writer(name_ + ".save", to_text()).save(path);
}

void TextNaiveBayes::load(const std::filesystem::path& path) {
  read(modelfile::Reader::from_file(name_ + ".load", path), name_ + ".load", "'" + path.string() + "'");
}

void TextNaiveBayes::load_text(const std::string& text) {
  read(modelfile::Reader(name_ + ".load_text", text), name_ + ".load_text", "the text");
}

void TextNaiveBayes::read(const modelfile::Reader& r, const std::string& fn, const std::string& source) {
  std::size_t p = r.after("\"vocab_size\":");
  const int vocab_size = r.integer(p);
  p = r.after("\"n\":");
  const int n = r.integer(p);
  const auto words = r.int_map(r.object("vocab"));
  auto ratio = r.int_map(r.object("class_ratio"));
  auto phi = r.indexed_dbl_map(r.object("phi"));
  // A column outside the rows would be written outside them by every prediction.
  for (const auto& [word, column] : words) {
    if (column < 0 || column >= vocab_size) {
      check::fail(fn, "in " + source + " the word \"" + word + "\" has column " + std::to_string(column) +
                          ", outside the " + std::to_string(vocab_size) + " columns of vocab_size");
    }
  }
  Vocabulary vocab(words.begin(), words.end());
  vocab_size_ = vocab_size;
  n_ = n;
  vocab_ = std::move(vocab);
  class_ratio_ = std::move(ratio);
  phi_ = std::move(phi);
  prepared_ = false;
}

}  // namespace tarnwick
