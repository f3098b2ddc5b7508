// The fuzz target of a text model's load, shared by the two text models (they read one format): a
// loaded model of at most kMaxTableEntries scoring entries classifies a few texts, and one with a
// negative vocab_size refuses to.
#pragma once

#include <stdexcept>
#include <string>

#include "harness.hpp"

namespace tarnwick::fuzz {

// The paths are the same at any size; bigger tables only slow fuzzing.
inline constexpr double kMaxTableEntries = 1 << 16;

template <typename Model>
int check_text_model_load(const uint8_t* data, std::size_t size, const char* name) {
  const std::string call = name;
  return check_model_load(
      data, size, name,
      [] {
        Model m(6);
        m.fit({"free money now", "hello friend", "win free money", "lunch at noon, friend"}, {"spam", "ham", "spam", "ham"});
        return m;
      },
      [&](Model& m) {
        // Scoring tables are vocab_size x classes by design (a model fitted with that vocab_size
        // holds as many phi values); a file asking for more is loaded but not predicted here.
        // A file may hold a negative vocab_size (it loads); such a model refuses to predict.
        if (m.vocab_size() < 0) {
          refused<std::length_error>((call + ".predict_one").c_str(), [&] { m.predict_one("free money"); });
          return;
        }
        if (double(m.vocab_size()) * double(m.class_ratio().size()) > kMaxTableEntries) return;
        each_call((call + ".predict").c_str(), [&] { m.predict({"free money", "", "zzz unknown words", "friend"}); },
                  [&] { m.accuracy({"free money"}, {"spam"}); });
      });
}

}  // namespace tarnwick::fuzz
