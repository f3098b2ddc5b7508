// Fuzz target of BernoulliNaiveBayes.load: every input is a model file (see check_model_load in harness.hpp);
// a loaded model of at most kMaxTableEntries scoring entries classifies a few texts.
#include "harness.hpp"
#include "models/bernoulli_nb.hpp"

using tarnwick::BernoulliNaiveBayes;
using tarnwick::fuzz::each_call;

constexpr double kMaxTableEntries = 1 << 16;  // the paths are the same at any size; bigger only slows fuzzing

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "BernoulliNaiveBayes",
      [] {
        BernoulliNaiveBayes m(6);
        m.fit({"free money now", "hello friend", "win free money", "lunch at noon, friend"}, {"spam", "ham", "spam", "ham"});
        return m;
      },
      [](BernoulliNaiveBayes& m) {
        // Scoring tables are vocab_size x classes by design (a model fitted with that vocab_size
        // holds as many phi values); a file asking for more is loaded but not predicted here.
        // A file may hold a negative vocab_size (it loads); such a model refuses to predict.
        if (m.vocab_size() < 0) {
          tarnwick::fuzz::refused<std::length_error>("BernoulliNaiveBayes.predict_one", [&] { m.predict_one("free money"); });
          return;
        }
        if (double(m.vocab_size()) * double(m.class_ratio().size()) > kMaxTableEntries) return;
        each_call("BernoulliNaiveBayes.predict", [&] { m.predict({"free money", "", "zzz unknown words", "friend"}); },
                  [&] { m.accuracy({"free money"}, {"spam"}); });
      });
}
