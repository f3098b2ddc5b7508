#include "core/text.hpp"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace tarnwick {

namespace {

// ASCII only: the bytes of a non-ASCII character are never letters, whatever the locale.
bool is_letter(unsigned char b) { return (b | 0x20) >= 'a' && (b | 0x20) <= 'z'; }

}  // namespace

Tokens tokenize(std::string_view text) {
  // Counted first, so that the tokens are built in place and never moved.
  std::size_t starts = 0;
  bool in_word = false;
  for (const char ch : text) {
    const bool letter = is_letter(static_cast<unsigned char>(ch));
    starts += letter && !in_word;
    in_word = letter;
  }
  Tokens tokens;
  tokens.reserve(starts);
  std::size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !is_letter(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t begin = i;
    while (i < text.size() && is_letter(static_cast<unsigned char>(text[i]))) ++i;
    if (i == begin) break;
    std::string& word = tokens.emplace_back(text.substr(begin, i - begin));
    for (char& ch : word) ch = char(ch | 0x20);
  }
  return tokens;
}

Vocabulary build_vocab(const std::vector<Tokens>& documents, int max_size) {
  std::unordered_map<std::string_view, std::size_t> counts;
  for (const Tokens& document : documents) {
    for (const std::string& token : document) ++counts[token];
  }
  std::vector<std::pair<std::string_view, std::size_t>> words(counts.begin(), counts.end());
  const std::size_t m = max_size <= 0 ? 0 : std::min(words.size(), std::size_t(max_size));
  // A total order (count, then word), so the cut at m and the numbering never depend on the hash
  // table's order.
  std::partial_sort(words.begin(), words.begin() + std::ptrdiff_t(m), words.end(), [](const auto& a, const auto& b) {
    return a.second != b.second ? a.second > b.second : a.first < b.first;
  });
  Vocabulary vocab;
  vocab.reserve(m);
  for (std::size_t i = 0; i < m; ++i) vocab.emplace(std::string(words[i].first), int(i));
  return vocab;
}

FeatureMatrix vectorize(const std::vector<std::string>& texts, int vocab_size, const std::vector<Tokens>& documents,
                        const Vocabulary& vocab, bool counts) {
  if (vocab_size < 0) {
    throw std::length_error("vectorize: vocab_size is " + std::to_string(vocab_size) +
                            "; a vector cannot have a negative size");
  }
  if (documents.size() < texts.size()) {
    throw std::invalid_argument("vectorize: " + std::to_string(texts.size()) + " texts but only " +
                                std::to_string(documents.size()) + " tokenized documents");
  }
  FeatureMatrix rows(texts.size(), std::vector<int>(std::size_t(vocab_size), 0));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::vector<int>& row = rows[i];
    for (const std::string& token : documents[i]) {
      const auto it = vocab.find(token);
      if (it == vocab.end()) continue;
      const int k = it->second;
      if (k < 0 || k >= vocab_size) {
        throw std::invalid_argument("vectorize: the word \"" + it->first + "\" has column " + std::to_string(k) +
                                    ", outside a row of " + std::to_string(vocab_size));
      }
      if (counts) {
        ++row[std::size_t(k)];
      } else {
        row[std::size_t(k)] = 1;
      }
    }
  }
  return rows;
}

ClassCounts calculate_class_ratio(const std::vector<std::string>& labels) {
  ClassCounts ratio;
  for (const std::string& label : labels) ++ratio[label];
  return ratio;
}

namespace {

// The length of the well-formed UTF-8 character at p, or 0 when the bytes from p are not one.
std::size_t utf8_character(const unsigned char* p, const unsigned char* end) {
  const unsigned c = *p;
  if (c < 0x80) return 1;
  std::size_t extra;
  unsigned lo = 0x80, hi = 0xBF;  // the range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    extra = 1;
  } else if (c >= 0xE0 && c <= 0xEF) {
    extra = 2;
    if (c == 0xE0) lo = 0xA0;       // overlong
    if (c == 0xED) hi = 0x9F;       // surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    extra = 3;
    if (c == 0xF0) lo = 0x90;       // overlong
    if (c == 0xF4) hi = 0x8F;       // above U+10FFFF
  } else {
    return 0;
  }
  if (std::size_t(end - p) <= extra) return 0;
  if (p[1] < lo || p[1] > hi) return 0;
  for (std::size_t i = 2; i <= extra; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
  }
  return extra + 1;
}

}  // namespace

bool valid_utf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const std::size_t n = utf8_character(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

std::string printable_utf8(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    const std::size_t n = utf8_character(p, end);
    if (n == 0) {
      out.append("\\x").push_back(kHex[*p >> 4]);
      out.push_back(kHex[*p & 0xF]);
      ++p;
    } else {
      out.append(reinterpret_cast<const char*>(p), n);
      p += n;
    }
  }
  return out;
}

}  // namespace tarnwick
