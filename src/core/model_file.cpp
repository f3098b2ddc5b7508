#include "core/model_file.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "core/atomic_file.hpp"
#include "core/file_numbers.hpp"
#include "core/interrupt.hpp"
#include "core/text.hpp"

namespace tarnwick::modelfile {

namespace {

// Twelve bytes from pos, carried on to the end of a character cut there, and shown as UTF-8.
std::string excerpt(const std::string& text, std::size_t pos) {
  if (pos >= text.size()) return "the end of the text";
  std::size_t n = std::min<std::size_t>(12, text.size() - pos);
  for (int more = 0; more < 3 && pos + n < text.size() && (text[pos + n] & 0xC0) == 0x80; ++more) ++n;
  std::string out(1, '\'');
  out.append(printable_utf8(std::string_view(text).substr(pos, n))).append(pos + n < text.size() ? "...'" : "'");
  return out;
}

// Writes the numbers of v, separated by commas, at the end of out: formatted into a block on the
// stack and appended a block at a time.
void append_numbers(std::string& out, const DoubleVector& v) {
  constexpr std::size_t kBlock = 64;
  char block[kBlock * (kNumberChars + 1)];
  for (std::size_t first = 0; first < v.size(); first += kBlock) {
    const std::size_t last = std::min(v.size(), first + kBlock);
    char* p = block;
    for (std::size_t i = first; i < last; ++i) {
      if (i) *p++ = ',';
      p = write_number(p, v[i]);
    }
    out.append(block, p);
  }
}

// The whole stream from where it stands: one read of the size the file system reports, then
// whatever more the stream yields (a file that grew, or one whose reported size is 0 or stale).
std::string read_all(std::ifstream& file, const std::filesystem::path& path) {
  std::string text;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(path, ec);
  if (!ec && size > 0 && size < text.max_size()) {
    text.resize(std::size_t(size));
    file.read(text.data(), std::streamsize(size));
    text.resize(std::size_t(file.gcount()));
  }
  char block[1 << 14];
  while (file) {
    file.read(block, sizeof block);
    text.append(block, std::size_t(file.gcount()));
  }
  return text;
}

}  // namespace

std::string format_number(double value) {
  char buf[kNumberChars];
  return std::string(buf, write_number(buf, value));
}

Writer::Writer(std::string context) : context_(std::move(context)) {}

Writer::Writer(std::string context, std::string text) : context_(std::move(context)), out_(std::move(text)) {}

Writer& Writer::raw(std::string_view fragment) {
  out_.append(fragment);
  return *this;
}

Writer& Writer::number(double value) {
  char buf[kNumberChars];
  out_.append(buf, write_number(buf, value));
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
  append_numbers(out_, v);
  out_.push_back(']');
  return *this;
}

Writer& Writer::mat(const DoubleMatrix& m) {
  // Room for the widest numbers (24 characters and a comma) up front, so that a large matrix's text
  // is never copied to grow.
  std::size_t numbers = 0;
  for (const DoubleVector& row : m) numbers += row.size();
  out_.reserve(out_.size() + numbers * 25 + m.size() * 3 + 2);
  return list('[', m, [this](const DoubleVector& row) { vec(row); }, ']');
}

Writer& Writer::strings(const std::vector<std::string>& items) {
  return list('[', items, [this](const std::string& item) { quoted(item); }, ']');
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
  // Growing the text raises on a short memory (MemoryError) rather than ending it early.
  std::string text = read_all(file, path);
  const std::string shown = printable_utf8(path.native());
  if (file.bad()) throw std::out_of_range(context + ": cannot read '" + shown + "'");
  return Reader(context + " of '" + shown + "'", std::move(text));
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
  const char* stop = begin;
  double value = 0.0;
  switch (read_number(begin, text_.c_str() + text_.size(), value, stop)) {
    case NumberRead::ok: break;
    case NumberRead::none: malformed(pos, "a number");
    case NumberRead::overflow:
      throw std::out_of_range(context_ + ": the number at offset " + std::to_string(pos) + " is out of range");
  }
  pos += std::size_t(stop - begin);
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

DoubleVector Reader::vec(std::size_t& pos) const { return vec(pos, 0); }

DoubleVector Reader::vec(std::size_t& pos, std::size_t expected) const {
  if (pos >= text_.size() || text_[pos] != '[') malformed(pos, "'['");
  DoubleVector row;
  row.reserve(expected);
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
      rows.push_back(vec(i, rows.empty() ? 0 : rows.back().size()));
      if (rows.size() % 64 == 0) poll_interrupt();
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
    // Files list their keys in order, so the end is where each one goes.
    out.insert_or_assign(out.end(), std::move(key), value);
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
  // The index as the files write it, up to 9 digits, is read here; anything else as integers are.
  const std::size_t digits = key.size() - bar - 1;
  if (digits >= 1 && digits <= 9 &&
      std::all_of(key.begin() + std::ptrdiff_t(bar) + 1, key.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    int index = 0;
    for (std::size_t i = bar + 1; i < key.size(); ++i) index = index * 10 + (key[i] - '0');
    return {key.substr(0, bar), index};
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
