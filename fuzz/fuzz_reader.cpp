// Fuzz target of the shared model-file reader: every parse function on arbitrary text, from the
// positions where loaders start reading (the start, past each key and each '[', '"', ':', '{' or ',',
// the end and beyond it). Each call returns or throws std::invalid_argument / std::out_of_range;
// what it returns is checked for where it leaves its position, and values written back by the
// writer must read back bit for bit.
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/model_file.hpp"
#include "harness.hpp"

using tarnwick::DoubleMatrix;
using tarnwick::DoubleVector;
using tarnwick::fuzz::accepted;
using tarnwick::fuzz::attempt;
using tarnwick::fuzz::fault;
using tarnwick::modelfile::Range;
using tarnwick::modelfile::Reader;
using tarnwick::modelfile::Writer;

namespace {

constexpr std::size_t kMaxStarts = 16;
constexpr std::size_t kMaxKeys = 16;

// The keys of the library's own files, so that short inputs reach the object and map readers.
const char* const kFileKeys[] = {"k", "metric", "x_train", "y_train", "theta0", "theta1", "thetas",
                                 "positive_class", "negative_class", "dimension", "phi", "mu_zero",
                                 "mu_one", "covariance", "n", "class_ratio", "class_numbering", "mean",
                                 "variance", "vocab_size", "vocab", "parameters", "bias"};

// Every NaN reads as a NaN; everything else bit for bit (so -0 stays -0).
bool same(double a, double b) {
  if (std::isnan(a)) return std::isnan(b);
  return std::memcmp(&a, &b, sizeof a) == 0;
}

void expect(bool ok, const char* what) {
  if (!ok) fault(what);
}

// The quoted texts directly followed by ':' (the keys the text itself uses), then the file keys.
std::vector<std::string> keys_of(const std::string& t) {
  std::vector<std::string> keys;
  for (std::size_t open = t.find('"'); open != std::string::npos && keys.size() < kMaxKeys;) {
    const std::size_t close = t.find('"', open + 1);
    if (close == std::string::npos) break;
    if (close + 1 < t.size() && t[close + 1] == ':') keys.push_back(t.substr(open + 1, close - open - 1));
    open = t.find('"', close + 1);
  }
  keys.insert(keys.end(), std::begin(kFileKeys), std::end(kFileKeys));
  return keys;
}

std::vector<std::size_t> starts_of(const Reader& r, const std::vector<std::string>& keys) {
  const std::string& t = r.text();
  std::set<std::size_t> starts = {0, t.size(), t.size() + 1, std::numeric_limits<std::size_t>::max()};
  for (std::size_t i = 0; i < t.size() && starts.size() < kMaxStarts; ++i) {
    if (std::strchr("[\":{,", t[i]) != nullptr) {
      starts.insert(i);
      starts.insert(i + 1);
    }
  }
  for (const std::string& key : keys) {
    if (const auto p = attempt("Reader::after", [&] { return r.after("\"" + key + "\":"); })) {
      expect(*p <= t.size(), "after: position past the end");
      starts.insert(*p);
    }
  }
  return {starts.begin(), starts.end()};
}

// A value written by the writer and read back by a fresh reader.
Reader reread(const Writer& w) { return Reader("fuzz reread", w.text()); }

void check_vec(const DoubleVector& v) {
  Writer w("fuzz");
  w.vec(v);
  std::size_t p = 0;
  const DoubleVector back = reread(w).vec(p);
  expect(p == w.text().size() && back.size() == v.size(), "vec: rewritten list reads back with another length");
  for (std::size_t i = 0; i < v.size(); ++i) expect(same(back[i], v[i]), "vec: a rewritten value reads back changed");
}

void check_mat(const DoubleMatrix& m) {
  Writer w("fuzz");
  w.mat(m);
  std::size_t p = 0;
  const DoubleMatrix back = reread(w).mat(p);
  expect(p == w.text().size() && back.size() == m.size(), "mat: rewritten matrix reads back with another row count");
  for (std::size_t i = 0; i < m.size(); ++i) {
    expect(back[i].size() == m[i].size(), "mat: a rewritten row reads back with another length");
    for (std::size_t j = 0; j < m[i].size(); ++j) expect(same(back[i][j], m[i][j]), "mat: a rewritten value reads back changed");
  }
}

template <typename Map, typename Read>
void check_map(const Map& map, Read read) {
  Writer w("fuzz");
  w.raw("{\"m\":").object(map).raw("}");
  const Reader back = reread(w);
  const Map again = read(back, back.object("m"));
  expect(again.size() == map.size(), "map: rewritten object reads back with another size");
  for (const auto& [key, value] : map) {
    auto it = again.find(key);
    expect(it != again.end() && same(double(it->second), double(value)), "map: a rewritten entry reads back changed");
  }
}

void check_indexed(const std::map<std::pair<std::string, int>, double>& map) {
  Writer w("fuzz");
  w.raw("{\"m\":").indexed_object(map).raw("}");
  const Reader back = reread(w);
  const auto again = back.indexed_dbl_map(back.object("m"));
  expect(again.size() == map.size(), "indexed map: rewritten object reads back with another size");
  for (const auto& [key, value] : map) {
    auto it = again.find(key);
    expect(it != again.end() && same(it->second, value), "indexed map: a rewritten entry reads back changed");
  }
}

// Every reader of a value, from one start position.
void read_values_at(const Reader& r, const std::size_t start) {
  const std::string& t = r.text();
  std::size_t p = start;
  if (const auto x = attempt("Reader::number", [&] { p = start; return r.number(p); })) {
    expect(p > start && p <= t.size(), "number: position not advanced inside the text");
    Writer w("fuzz");
    w.number(*x);
    std::size_t q = 0;
    expect(same(reread(w).number(q), *x) && q == w.text().size(), "number: the written number reads back changed");
  }
  if (const auto n = attempt("Reader::integer", [&] { p = start; return r.integer(p); })) {
    expect(p > start && p <= t.size(), "integer: position not advanced inside the text");
    Writer w("fuzz");
    w.integer(*n);
    std::size_t q = 0;
    expect(reread(w).integer(q) == *n, "integer: the written integer reads back changed");
  }
  if (const auto s = attempt("Reader::until_quote", [&] { p = start; return r.until_quote(p); })) {
    expect(p <= t.size() && t[p - 1] == '"' && s->find('"') == std::string::npos, "until_quote: wrong end");
  }
  if (const auto v = attempt("Reader::vec", [&] { p = start; return r.vec(p); })) {
    expect(p <= t.size() && t[p - 1] == ']', "vec: position not just past a ']'");
    check_vec(*v);
  }
  if (const auto m = attempt("Reader::mat", [&] { p = start; return r.mat(p); })) {
    expect(p <= t.size() && t[p - 1] == ']', "mat: position not just past a ']'");
    check_mat(*m);
  }
  if (const auto items = attempt("Reader::strings", [&] { p = start; return r.strings(p); })) {
    expect(p <= t.size() && t[p - 1] == ']', "strings: position not just past a ']'");
    for (const std::string& s : *items) expect(s.find('"') == std::string::npos, "strings: an item holds a quote");
  }
  for (const char c : {'"', ']', '}', ','}) {
    if (const auto at = attempt("Reader::next", [&] { return r.next(c, start); })) {
      expect(*at >= start && *at < t.size() && t[*at] == c, "next: not at the character asked for");
    }
  }
}

// The object readers for one key.
void read_object(const Reader& r, const std::string& key) {
  const std::string& t = r.text();
  const auto range = attempt("Reader::object", [&] { return r.object(key); });
  if (!range) return;
  expect(range->first <= range->second && range->second < t.size() && t[range->second] == '}',
         "object: range not closed by '}'");
  if (const auto map = attempt("Reader::int_map", [&] { return r.int_map(*range); })) {
    check_map(*map, [](const Reader& b, Range g) { return b.int_map(g); });
  }
  if (const auto map = attempt("Reader::dbl_map", [&] { return r.dbl_map(*range); })) {
    check_map(*map, [](const Reader& b, Range g) { return b.dbl_map(g); });
    for (const auto& entry : *map) attempt("Reader::split_index", [&] { return r.split_index(entry.first); });
  }
  if (const auto map = attempt("Reader::indexed_dbl_map", [&] { return r.indexed_dbl_map(*range); })) {
    check_indexed(*map);
  }
}

void read_file_round(const std::string& text) {
  const std::string path = tarnwick::fuzz::scratch_path("reader");
  tarnwick::fuzz::write_file(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  expect(Reader::from_file("fuzz", path).text() == text, "from_file: the text read differs from the file");
  bool opened = true;
  try {
    (void)Reader::from_file("fuzz", path + ".absent");
  } catch (const std::out_of_range&) {
    opened = false;
  }
  expect(!opened, "from_file: a missing file did not raise std::out_of_range");
}

void fuzz_one(const std::string& text) {
  const Reader r("fuzz", text);
  const std::vector<std::string> keys = keys_of(text);
  for (const std::size_t start : starts_of(r, keys)) read_values_at(r, start);
  for (const std::string& key : keys) read_object(r, key);
  for (const std::string& key : keys) attempt("Reader::split_index", [&] { return r.split_index(key); });

  const bool has_quote = text.find('"') != std::string::npos;
  const bool wrote = accepted("Writer::quoted", [&] { Writer("fuzz").quoted(text); });
  expect(wrote != has_quote, "quoted: a text is refused exactly when it holds a double quote");

  read_file_round(text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  try {
    fuzz_one(std::string(reinterpret_cast<const char*>(data), size));
  } catch (const std::exception& e) {
    fault(std::string("re-reading what the writer wrote threw: ") + e.what());
  }
  return 0;
}
