#include "core/model_file.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <locale.h>
#include <sstream>
#include <stdexcept>

#include "core/atomic_file.hpp"
#include "core/text.hpp"

namespace tarnwick::modelfile {

namespace {

// Numbers in the files never depend on the process locale.
locale_t c_locale() {
  static const locale_t loc = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
  return loc;
}

// Twelve bytes from pos, carried on to the end of a character cut there, and shown as UTF-8.
std::string excerpt(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return "the end of the text";
  std::size_t n = std::min<std::size_t>(12, text.size() - pos);
  for (int more = 0; more < 3 && pos + n < text.size() && (text[pos + n] & 0xC0) == 0x80; ++more) ++n;
  std::string out(1, '\'');
  out.append(printable_utf8(std::string_view(text).substr(pos, n))).append(pos + n < text.size() ? "...'" : "'");
  return out;
}

// Every not-a-number is written the same way, whatever its sign bit.
void append_number(std::string& out, double value) {
  if (std::isnan(value)) {
    out.append("nan");
    return;
  }
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 17);
  out.append(buf, res.ptr);
}

}  // namespace

std::string format_number(double value) {
  std::string s;
  append_number(s, value);
  return s;
}

Writer::Writer(std::string context) : context_(std::move(context)) {}

Writer& Writer::raw(std::string_view fragment) {
  out_.append(fragment);
  return *this;
}

Writer& Writer::number(double value) {
  append_number(out_, value);
  return *this;
}

Writer& Writer::integer(long long value) {
  char buf[24];
  auto res = std::to_chars(buf, buf + sizeof buf, value);
  out_.append(buf, res.ptr);
  return *this;
}

Writer& Writer::quoted(std::string_view text) {
  if (text.find('"') != std::string_view::npos) {
    throw std::invalid_argument(context_ + ": the text \"" + std::string(text) +
                                "\" holds a double-quote character, which the file format cannot carry");
  }
  out_.push_back('"');
  out_.append(text);
  out_.push_back('"');
  return *this;
}

Writer& Writer::vec(const DoubleVector& v) {
  out_.push_back('[');
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (i) out_.push_back(',');
    number(v[i]);
  }
  out_.push_back(']');
  return *this;
}

Writer& Writer::mat(const DoubleMatrix& m) {
  out_.push_back('[');
  for (std::size_t i = 0; i < m.size(); ++i) {
    if (i) out_.push_back(',');
    vec(m[i]);
  }
  out_.push_back(']');
  return *this;
}

Writer& Writer::strings(const std::vector<std::string>& items) {
  out_.push_back('[');
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out_.push_back(',');
    quoted(items[i]);
  }
  out_.push_back(']');
  return *this;
}

void Writer::save(const std::filesystem::path& path) const { write_file_atomically(path, out_); }

Reader::Reader(std::string context, std::string text) : context_(std::move(context)), text_(std::move(text)) {}

Reader Reader::from_file(std::string context, const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  // A directory opens as a stream on some systems but holds no text to read.
  std::error_code ec;
  if (!file || std::filesystem::is_directory(path, ec)) {
    throw std::out_of_range(context + ": cannot open '" + printable_utf8(path.native()) + "'");
  }
  std::ostringstream content;
  content << file.rdbuf();
  return Reader(context + " of '" + printable_utf8(path.native()) + "'", std::move(content).str());
}

void Reader::malformed(std::size_t pos, std::string_view expected) const {
  throw std::invalid_argument(context_ + ": expected " + std::string(expected) + " at offset " +
                              std::to_string(pos) + ", found " + excerpt(text_, pos));
}

std::size_t Reader::after(std::string_view key) const {
  const std::size_t at = text_.find(key);
  if (at == std::string::npos) throw std::invalid_argument(context_ + ": the key " + std::string(key) + " is missing");
  return at + key.size();
}

std::size_t Reader::after(std::string_view key, std::size_t from) const {
  const std::size_t at = from <= text_.size() ? text_.find(key, from) : std::string::npos;
  if (at == std::string::npos) {
    throw std::invalid_argument(context_ + ": the key " + std::string(key) + " is missing after offset " +
                                std::to_string(from));
  }
  return at + key.size();
}

std::size_t Reader::next(char c, std::size_t pos) const {
  const std::size_t at = pos < text_.size() ? text_.find(c, pos) : std::string::npos;
  if (at == std::string::npos) malformed(pos, std::string("'") + c + "'");
  return at;
}

double Reader::number(std::size_t& pos) const {
  if (pos >= text_.size()) malformed(pos, "a number");
  const char* begin = text_.c_str() + pos;
  char* end = nullptr;
  errno = 0;
  const double value = strtod_l(begin, &end, c_locale());
  if (end == begin) malformed(pos, "a number");
  // Underflow to a subnormal or zero is a faithful reading; only overflow is out of range.
  if (errno == ERANGE && std::isinf(value)) {
    throw std::out_of_range(context_ + ": the number at offset " + std::to_string(pos) + " is out of range");
  }
  pos += std::size_t(end - begin);
  return value;
}

int Reader::integer(std::size_t& pos) const {
  if (pos >= text_.size()) malformed(pos, "an integer");
  const char* begin = text_.c_str() + pos;
  char* end = nullptr;
  errno = 0;
  const long value = strtol_l(begin, &end, 10, c_locale());
  if (end == begin) malformed(pos, "an integer");
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) {
    throw std::out_of_range(context_ + ": the integer at offset " + std::to_string(pos) + " is out of range");
  }
  pos += std::size_t(end - begin);
  return int(value);
}

std::string Reader::until_quote(std::size_t& pos) const {
  const std::size_t close = next('"', pos);
  std::string s = text_.substr(pos, close - pos);
  if (!valid_utf8(s)) malformed(pos, "text in UTF-8");
  pos = close + 1;
  return s;
}

DoubleVector Reader::vec(std::size_t& pos) const {
  if (pos >= text_.size() || text_[pos] != '[') malformed(pos, "'['");
  DoubleVector row;
  std::size_t i = pos + 1;
  for (;;) {
    if (i >= text_.size()) malformed(i, "']'");
    const char ch = text_[i];
    if (ch == ' ' || ch == ',') {
      ++i;
    } else if (ch == ']') {
      pos = i + 1;
      return row;
    } else {
      row.push_back(number(i));
    }
  }
}

DoubleMatrix Reader::mat(std::size_t& pos) const {
  if (pos >= text_.size() || text_[pos] != '[') malformed(pos, "'['");
  DoubleMatrix rows;
  std::size_t i = pos + 1;
  for (;;) {
    if (i >= text_.size()) malformed(i, "']'");
    const char ch = text_[i];
    if (ch == ' ' || ch == ',' || ch == '\n' || ch == '\r') {
      ++i;
    } else if (ch == ']') {
      pos = i + 1;
      return rows;
    } else {
      rows.push_back(vec(i));
    }
  }
}

std::vector<std::string> Reader::strings(std::size_t& pos) const {
  if (pos >= text_.size() || text_[pos] != '[') malformed(pos, "'['");
  std::vector<std::string> items;
  std::size_t i = pos + 1;
  for (;;) {
    if (i >= text_.size()) malformed(i, "']'");
    const char ch = text_[i];
    if (ch == ']') {
      pos = i + 1;
      return items;
    }
    ++i;
    if (ch == '"') items.push_back(until_quote(i));
  }
}

Range Reader::object(std::string_view key) const {
  std::string pattern(1, '"');
  pattern.append(key).append("\":{");
  const std::size_t start = after(pattern);
  int depth = 1;
  bool in_string = false;
  for (std::size_t i = start; i < text_.size(); ++i) {
    const char ch = text_[i];
    if (ch == '"') {
      in_string = !in_string;
    } else if (!in_string && ch == '{') {
      ++depth;
    } else if (!in_string && ch == '}' && --depth == 0) {
      return {start, i};
    }
  }
  malformed(text_.size(), "the '}' closing " + pattern);
}

template <typename T, typename Read>
std::map<std::string, T> Reader::map_of(Range r, Read read) const {
  std::map<std::string, T> out;
  std::size_t p = r.first;
  while (p < r.second) {
    const std::size_t q1 = text_.find('"', p);
    if (q1 == std::string::npos || q1 >= r.second) break;
    const std::size_t q2 = text_.find('"', q1 + 1);
    if (q2 == std::string::npos || q2 >= r.second) malformed(q1 + 1, "a closing '\"'");
    std::string key = text_.substr(q1 + 1, q2 - q1 - 1);
    if (!valid_utf8(key)) malformed(q1 + 1, "text in UTF-8");
    const std::size_t colon = text_.find(':', q2 + 1);
    if (colon == std::string::npos || colon >= r.second) malformed(q2 + 1, "':'");
    p = colon + 1;
    T value = read(p);
    if (p > r.second) malformed(r.second, "a value inside the object");
    out[std::move(key)] = value;
  }
  return out;
}

std::map<std::string, int> Reader::int_map(Range r) const {
  return map_of<int>(r, [this](std::size_t& p) { return integer(p); });
}

std::map<std::string, double> Reader::dbl_map(Range r) const {
  return map_of<double>(r, [this](std::size_t& p) { return number(p); });
}

std::pair<std::string, int> Reader::split_index(const std::string& key) const {
  const std::size_t bar = key.rfind('|');
  if (bar == std::string::npos) {
    throw std::invalid_argument(context_ + ": the key \"" + key + "\" has no '|' before its index");
  }
  Reader part(context_, key.substr(bar + 1));
  std::size_t p = 0;
  const int index = part.integer(p);
  return {key.substr(0, bar), index};
}

std::map<std::pair<std::string, int>, double> Reader::indexed_dbl_map(Range r) const {
  std::map<std::pair<std::string, int>, double> out;
  for (const auto& [key, value] : dbl_map(r)) out[split_index(key)] = value;
  return out;
}

}  // namespace tarnwick::modelfile
