// The chassis of the classic models: a model lists its persisted fields once, (key, member) in file
// order, and PersistedModel<Model> gives it save, load, to_text, load_text and equality over that
// list through the one model-file reader and writer; a member's type decides its Codec. Loads are
// all or nothing: fields are read before the model changes, and a failing on_load puts them back.
#pragma once

#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "core/model_file.hpp"
#include "core/object_lock.hpp"
#include "core/types.hpp"

namespace tarnwick {

// Which call reads a model's text, for the messages of a model's own load checks.
class LoadSite {
 public:
  // file: the file being loaded, or null for a text given directly.
  LoadSite(std::string call, const std::filesystem::path* file) : call_(std::move(call)), file_(file) {}

  // "KNN.load of 'knn.json'", or the call alone for a text ("KNN.load_text").
  std::string where() const { return file_ ? call_ + " of " + source() : call_; }
  const std::string& call() const { return call_; }
  // "'knn.json'", or "the text". (Appended rather than added to a literal, which GCC 12 misreads
  // as an overlapping copy.)
  std::string source() const { return file_ ? std::string(1, '\'').append(file_->string()).append("'") : "the text"; }

 private:
  std::string call_;
  const std::filesystem::path* file_;
};

namespace modelfile {

// "key": followed by opener: the text the reader searches for, and the writer writes before a value.
inline std::string key_text(std::string_view key, std::string_view opener) {
  std::string s(1, '"');
  s.append(key).append("\":").append(opener);
  return s;
}

// How a member of type T is written and read: write(w, value), and read(r, key) from the text just
// past the key (the pattern the reader searches for includes the value's opening character).
template <typename T>
struct Codec;

// A value the writer and reader have one call each for; opener is the character that starts it in
// the text (none for numbers), and a list is read from its opening bracket.
template <typename T, auto Write, auto Read, char Opener = '\0'>
struct CallCodec {
  static void write(Writer& w, const T& value) { (w.*Write)(value); }
  static T read(const Reader& r, std::string_view key) {
    static constexpr char opener[2] = {Opener, '\0'};
    std::size_t p = r.after(key_text(key, opener));
    if (Opener == '[') --p;
    return (r.*Read)(p);
  }
};

template <>
struct Codec<int> : CallCodec<int, &Writer::integer, &Reader::integer> {};
template <>
struct Codec<double> : CallCodec<double, &Writer::number, &Reader::number> {};
template <>
struct Codec<std::string> : CallCodec<std::string, &Writer::quoted, &Reader::until_quote, '"'> {};
template <>
struct Codec<DoubleVector>
    : CallCodec<DoubleVector, &Writer::vec, static_cast<DoubleVector (Reader::*)(std::size_t&) const>(&Reader::vec), '['> {
};
template <>
struct Codec<DoubleMatrix> : CallCodec<DoubleMatrix, &Writer::mat, &Reader::mat, '['> {};
template <>
struct Codec<std::vector<std::string>> : CallCodec<std::vector<std::string>, &Writer::strings, &Reader::strings, '['> {};

// Objects: the reader takes the contents between the braces that follow the key.
template <>
struct Codec<std::map<std::string, int>> {
  static void write(Writer& w, const std::map<std::string, int>& m) { w.object(m); }
  static std::map<std::string, int> read(const Reader& r, std::string_view key) { return r.int_map(r.object(key)); }
};

template <>
struct Codec<std::map<std::pair<std::string, int>, double>> {
  static void write(Writer& w, const std::map<std::pair<std::string, int>, double>& m) { w.indexed_object(m); }
  static std::map<std::pair<std::string, int>, double> read(const Reader& r, std::string_view key) {
    return r.indexed_dbl_map(r.object(key));
  }
};

// One persisted field: its key, the member, and a check of a read value that runs before the next
// field is read (so that a file with several faults reports the same one first, whatever the model).
template <typename C, typename T>
struct Field {
  using Value = T;
  std::string_view key;
  T C::*member;
  void (*check)(const LoadSite&, const T&) = nullptr;
};

template <typename C, typename T>
constexpr Field<C, T> field(std::string_view key, T C::*member, void (*check)(const LoadSite&, const T&) = nullptr) {
  return {key, member, check};
}

}  // namespace modelfile

// The base of every classic model. Model provides:
//   static auto fields()          a tuple of modelfile::field(key, &Model::member) in file order;
//   model_name()                  the class name that prefixes messages ("KNN");
//   static default_file           the file save and load use when given no path (optional);
//   void on_load(const LoadSite&) optional: checks across fields and state rebuilt from them, run
//                                 once the read fields are in place; if it throws, the model's
//                                 fields are put back as they were.
// Model's fields stay its own members, so that the bindings can bind them as properties.
template <typename Model>
class PersistedModel {
 public:
  // Held by the Python bindings around every call (see bindings/guard.hpp).
  mutable ObjectLock object_lock;

  // The text save writes and load reads, without a file (what pickling carries). A string field
  // holding '"' raises before anything is written.
  std::string to_text() const {
    const Model& self = model();
    modelfile::Writer w(std::string(self.model_name()) + ".save");
    const char* opener = "{";
    std::apply(
        [&](const auto&... f) {
          ((w.raw(opener).raw(modelfile::key_text(f.key, "")), write_value(w, self.*f.member), opener = ","), ...);
        },
        Model::fields());
    w.raw("}");
    return std::move(w).text();
  }

  // Replaces the file at path all at once; on failure OSError and the file as it was.
  void save(const std::filesystem::path& path = Model::default_file) const {
    modelfile::Writer(std::string(model().model_name()) + ".save", to_text()).save(path);
  }

  // All or nothing: on any error the model is left as it was.
  void load(const std::filesystem::path& path = Model::default_file) {
    const std::string call = std::string(model().model_name()) + ".load";
    read(modelfile::Reader::from_file(call, path), LoadSite(call, &path));
  }

  void load_text(const std::string& text) {
    const std::string call = std::string(model().model_name()) + ".load_text";
    read(modelfile::Reader(call, text), LoadSite(call, nullptr));
  }

  // Two models are equal when they would write the same file (a label holding '"' raises, as in save).
  friend bool operator==(const Model& a, const Model& b) { return a.to_text() == b.to_text(); }

 protected:
  // No checks across fields and nothing to rebuild.
  void on_load(const LoadSite&) {}

 private:
  const Model& model() const { return static_cast<const Model&>(*this); }
  Model& model() { return static_cast<Model&>(*this); }

  template <typename T>
  static void write_value(modelfile::Writer& w, const T& value) {
    modelfile::Codec<T>::write(w, value);
  }

  template <typename F>
  static typename F::Value read_value(const modelfile::Reader& r, const LoadSite& site, const F& f) {
    typename F::Value value = modelfile::Codec<typename F::Value>::read(r, f.key);
    if (f.check) f.check(site, value);
    return value;
  }

  template <typename Fields, std::size_t... I>
  static void swap_fields(Model& self, const Fields& fields, auto& values, std::index_sequence<I...>) noexcept {
    using std::swap;
    (swap(self.*std::get<I>(fields).member, std::get<I>(values)), ...);
  }

  void read(const modelfile::Reader& r, const LoadSite& site) {
    const auto fields = Model::fields();
    // The braces read the fields in list order.
    auto values = std::apply(
        [&](const auto&... f) { return std::tuple<typename std::decay_t<decltype(f)>::Value...>{read_value(r, site, f)...}; },
        fields);
    constexpr auto order = std::make_index_sequence<std::tuple_size_v<decltype(fields)>>();
    Model& self = model();
    swap_fields(self, fields, values, order);
    try {
      self.on_load(site);
    } catch (...) {
      swap_fields(self, fields, values, order);
      throw;
    }
  }
};

}  // namespace tarnwick
