// Fuzz target of GaussianNaiveBayes.load: every input is a model file (see check_model_load in
// harness.hpp); a loaded model predicts rows of the fitted width (2) and of other widths.
#include "harness.hpp"
#include "models/gaussian_nb.hpp"

using tarnwick::GaussianNaiveBayes;
using tarnwick::fuzz::each_call;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  return tarnwick::fuzz::check_model_load(
      data, size, "GaussianNaiveBayes",
      [] {
        GaussianNaiveBayes m;
        m.fit({{1, 0.5}, {-2, 0.1}, {0, 3}, {1, 1}, {4, -1}}, {"a", "b", "a", "b", "c"});
        return m;
      },
      [](GaussianNaiveBayes& m) {
        each_call("GaussianNaiveBayes.predict", [&] { m.predict({{1, 2}, {0, -1}}); }, [&] { m.predict_one({1}); },
                  [&] { m.predict_one({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}); }, [&] { m.predict_one({}); },
                  [&] { m.accuracy({{1, 2}}, {"a"}); });
      });
}
