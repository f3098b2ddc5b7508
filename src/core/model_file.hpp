// The one reader and writer of the library's model files: one line of JSON-shaped text, doubles at
// precision 17 in general notation ("0.10000000000000001", "1e+17", "-0", "inf", "nan"), integers in
// plain decimal, strings verbatim between double quotes, no white space and no final newline.
// The reader finds keys by substring search from the start of the text and never reads past it:
// a missing key or a malformed value raises std::invalid_argument (ValueError), a file that cannot
// be opened or a number beyond a double's range std::out_of_range (IndexError).
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/types.hpp"

namespace tarnwick::modelfile {

class Writer {
 public:
  // context names the operation in error messages, for example "KNN.save".
  explicit Writer(std::string context);
  // A writer whose text starts as text (the text of to_text(), moved rather than copied).
  Writer(std::string context, std::string text);

  Writer& raw(std::string_view fragment);
  Writer& number(double value);
  Writer& integer(long long value);
  // The text between double quotes; a double-quote character inside cannot be carried and raises
  // before anything is written.
  Writer& quoted(std::string_view text);
  Writer& vec(const DoubleVector& v);
  Writer& mat(const DoubleMatrix& m);
  // ["a","b",...], each item quoted as by quoted().
  Writer& strings(const std::vector<std::string>& items);
  // {"key":value,...} in the map's iteration order; keys are quoted as by quoted().
  template <typename Map>
  Writer& object(const Map& map);
  // {"label|index":value,...} from a map keyed by (label, index).
  template <typename Map>
  Writer& indexed_object(const Map& map);

  const std::string& text() const& { return out_; }
  // The text, moved out of a writer that is done with it.
  std::string text() && { return std::move(out_); }
  // Replaces the file at path with the text, all at once (see core/atomic_file.hpp): on failure
  // std::filesystem::filesystem_error (OSError) and the file as it was.
  void save(const std::filesystem::path& path) const;

 private:
  // open, then item(entry) for each entry separated by commas, then close.
  template <typename Items, typename Item>
  Writer& list(char open, const Items& items, Item item, char close);

  std::string context_;
  std::string out_;
};

// The number as the files write it: precision 17, general notation.
std::string format_number(double value);

using Range = std::pair<std::size_t, std::size_t>;  // [begin, end) of an object's contents

class Reader {
 public:
  Reader(std::string context, std::string text);
  // Reads the whole file; a file that cannot be opened raises std::out_of_range naming the path.
  static Reader from_file(std::string context, const std::filesystem::path& path);

  const std::string& text() const { return text_; }

  // Position just past the first occurrence of key; raises if the key is absent.
  std::size_t after(std::string_view key) const;
  // Position just past the first occurrence of key at or after from; raises if there is none.
  std::size_t after(std::string_view key, std::size_t from) const;
  // Position of the first c at or after pos; raises if there is none.
  std::size_t next(char c, std::size_t pos) const;

  // The standard text-to-number conversions from pos (leading white space skipped); pos moves past
  // what was read.
  double number(std::size_t& pos) const;
  int integer(std::size_t& pos) const;
  // The text from pos up to the next double quote; pos moves past that quote. Text that is not
  // valid UTF-8 raises std::invalid_argument: every string of a file becomes a Python str.
  std::string until_quote(std::size_t& pos) const;

  // Lists: pos on the opening bracket; spaces and commas between items are stepped over (and new
  // lines between the rows of a matrix); pos ends just past the closing bracket.
  DoubleVector vec(std::size_t& pos) const;
  DoubleMatrix mat(std::size_t& pos) const;
  // pos on the opening bracket; each double-quoted item is a string, other characters are skipped.
  std::vector<std::string> strings(std::size_t& pos) const;

  // The contents of the object that follows "key":{ , braces counted outside quoted strings.
  Range object(std::string_view key) const;
  // Every "key":value pair of an object; a repeated key keeps the later value.
  std::map<std::string, int> int_map(Range r) const;
  std::map<std::string, double> dbl_map(Range r) const;
  // A "label|index" key split at its last "|".
  std::pair<std::string, int> split_index(const std::string& key) const;
  // An object of "label|index":double entries, keyed by (label, index).
  std::map<std::pair<std::string, int>, double> indexed_dbl_map(Range r) const;

 private:
  [[noreturn]] void malformed(std::size_t pos, std::string_view expected) const;
  // vec() with room reserved for `expected` numbers (a matrix's rows are usually all one length).
  DoubleVector vec(std::size_t& pos, std::size_t expected) const;
  template <typename T, typename Read>
  std::map<std::string, T> map_of(Range r, Read read) const;

  std::string context_;
  std::string text_;
};

template <typename Items, typename Item>
Writer& Writer::list(char open, const Items& items, Item item, char close) {
  out_.push_back(open);
  bool first = true;
  for (const auto& entry : items) {
    if (!first) out_.push_back(',');
    first = false;
    item(entry);
  }
  out_.push_back(close);
  return *this;
}

template <typename Map>
Writer& Writer::object(const Map& map) {
  return list('{', map, [this](const auto& entry) {
    quoted(entry.first).raw(":");
    if constexpr (std::is_floating_point_v<std::decay_t<decltype(entry.second)>>) {
      number(entry.second);
    } else {
      integer(entry.second);
    }
  }, '}');
}

template <typename Map>
Writer& Writer::indexed_object(const Map& map) {
  return list('{', map, [this](const auto& entry) {
    quoted(entry.first.first + "|" + std::to_string(entry.first.second)).raw(":").number(entry.second);
  }, '}');
}

}  // namespace tarnwick::modelfile
