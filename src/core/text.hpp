// Text features of the text classifiers: a text becomes lower-case ASCII word tokens, a corpus a
// vocabulary of its most frequent words numbered 0 .. m-1, and documents rows of presence flags or
// counts over that numbering (one row per document, vocab_size columns). A token is a run of the
// letters a-z after ASCII lower-casing: every other byte, non-ASCII bytes included, separates words.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tarnwick {

// Hashes any string-like key, so that a vocabulary can be searched with a string_view.
struct WordHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
};

using Tokens = std::vector<std::string>;
using Vocabulary = std::unordered_map<std::string, int, WordHash, std::equal_to<>>;  // word -> column
using FeatureMatrix = std::vector<std::vector<int>>;
using ClassCounts = std::map<std::string, int>;  // label -> number of occurrences, byte-wise order

// The words of text in order, repeats kept; "Hello, World! 42" gives "hello", "world".
Tokens tokenize(std::string_view text);

// The max_size most frequent tokens (all of them if fewer), numbered from 0 by falling count; among
// equal counts the byte-wise smaller word comes first, so a corpus gives the same vocabulary on
// every machine. A max_size of 0 or less gives an empty vocabulary.
Vocabulary build_vocab(const std::vector<Tokens>& documents, int max_size);

// One row of vocab_size columns per text (the texts only give the number of rows; row i counts the
// words of documents[i]): with counts set, column k holds the occurrences of the word numbered k,
// otherwise 1 if it occurs and 0 if not. Words outside the vocabulary are ignored. A negative
// vocab_size raises std::length_error; fewer documents than texts, or a vocabulary column outside
// the row, std::invalid_argument.
FeatureMatrix vectorize(const std::vector<std::string>& texts, int vocab_size, const std::vector<Tokens>& documents,
                        const Vocabulary& vocab, bool counts);

// How often each label occurs (counts, not fractions).
ClassCounts calculate_class_ratio(const std::vector<std::string>& labels);

// True when text is well-formed UTF-8 as Python decodes it strictly: no overlong forms, no
// surrogates, nothing above U+10FFFF.
bool valid_utf8(std::string_view text);

// The text for an error message, which Python decodes strictly as UTF-8: every byte that is not
// part of a well-formed character is written as \xNN.
std::string printable_utf8(std::string_view text);

}  // namespace tarnwick
